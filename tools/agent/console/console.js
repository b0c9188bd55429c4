// The console: talks JSON-RPC 2.0 to the host at /rpc, keeps the
// environments, searches, and shows every failure in words next to what
// caused it.  The tree is in tree.js, the inventory's levels in
// inventory.js.
'use strict';

let nextId = 1;
let pending = 0;

const $ = (id) => document.getElementById(id);

// The access token comes once, in the fragment of the address the service
// printed (a browser sends the fragment to no server, and the service sets
// no cookie, which the browser would send to every server on this host).
// It is kept for this tab alone and sent with every call.
function accessToken() {
  const found = /(?:^#|&)token=([0-9a-f]+)/.exec(window.location.hash);
  if (found) {
    sessionStorage.setItem('qc_token', found[1]);
    history.replaceState(null, '', window.location.pathname + window.location.search);
  }
  return sessionStorage.getItem('qc_token') || '';
}
const TOKEN = accessToken();

function element(tag, attributes = {}, ...children) {
  const e = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (name === 'className') e.className = value;
    else if (name.startsWith('on')) e.addEventListener(name.slice(2), value);
    else e.setAttribute(name, value);
  }
  for (const child of children) {
    if (child !== null && child !== undefined) e.append(child);
  }
  return e;
}

function busy(delta) {
  pending += delta;
  $('busy').hidden = pending === 0;
  document.body.classList.toggle('busy', pending > 0);
}

// A JSON-RPC error; the host adds to its data why it happened, when it
// knows: {log: [the plug-in's lines], hint: "what to do"}.
class RpcError extends Error {
  constructor(error) {
    super(`${error.message} (error ${error.code})`);
    this.code = error.code;
    this.data = error.data || null;
  }
}

async function rpc(method, params) {
  busy(1);
  try {
    let response;
    try {
      response = await fetch('/rpc', {
        method: 'POST',
        credentials: 'omit',
        headers: {'Content-Type': 'application/json', 'Authorization': `Bearer ${TOKEN}`},
        body: JSON.stringify({jsonrpc: '2.0', id: nextId++, method, params}),
      });
    } catch (e) {
      throw new Error('the host does not answer; is qingcloud-agent serve still running?');
    }
    if (response.status === 401) {
      throw new Error('not allowed: open the address that qingcloud-agent serve printed');
    }
    if (!response.ok) throw new Error(`the host answered HTTP ${response.status}`);
    const answer = await response.json();
    if (answer.error) throw new RpcError(answer.error);
    return answer.result;
  } finally {
    busy(-1);
  }
}

// Shows in `out` a failure's message, the hint in plain words and the
// plug-in's log lines behind "details", from `cause` ({log, hint}, or
// null).  The lines come from the platform: text only, never markup.
function showFailure(out, message, cause) {
  out.classList.add('error');
  out.replaceChildren(element('span', {className: 'message'}, message));
  if (cause && cause.hint) out.append(element('span', {className: 'hint-line'}, cause.hint));
  const log = cause && Array.isArray(cause.log) ? cause.log : [];
  if (log.length) {
    const lines = element('pre', {className: 'log'});
    lines.textContent = log.join('\n');
    out.append(element('details', {}, element('summary', {}, 'details'), lines));
  }
}

// Runs `work` with `button` disabled, `out` saying what happened.
async function guarded(button, out, work) {
  button.disabled = true;
  out.className = 'result';
  out.textContent = 'working\u2026';
  try {
    await work();
  } catch (e) {
    showFailure(out, e.message, e.data);
  } finally {
    button.disabled = false;
  }
}

// Environments ------------------------------------------------------------

function currentEnvironment() {
  return $('env-select').value;
}

// What the picker calls an environment: its name first when it has one;
// the host, port, key id and the start of the uuid tell apart two kept
// for the same platform.
function environmentLabel(env) {
  const where = [`${env.boss_host}:${env.port}`, env.access_key, env.uuid.slice(0, 8)]
      .join(' \u00b7 ');
  return env.name ? `${env.name} (${where})` : where;
}

// Shows the kept environments and answers them ([] when they cannot be
// listed, which it says).
async function loadEnvironments() {
  $('env-error').hidden = true;
  let list;
  try {
    list = await rpc('host.environments.list', {});
  } catch (e) {
    $('env-error').textContent = `Cannot list the environments: ${e.message}`;
    $('env-error').hidden = false;
    return [];
  }
  const rows = $('env-rows');
  rows.replaceChildren();
  const select = $('env-select');
  const chosen = select.value;
  select.replaceChildren();
  for (const env of list) {
    const result = element('div', {className: 'result', role: 'status'});
    const test = element('button', {type: 'button', className: 'test'}, 'test connection');
    test.addEventListener('click', () => guarded(test, result, async () => {
      const answer = await rpc('host.environments.test', {uuid: env.uuid});
      if (!answer.status) return showFailure(result, answer.message, answer);
      result.className = 'result ok';
      result.textContent = 'connected';
    }));
    const browse = element('button', {type: 'button'}, 'browse');
    browse.addEventListener('click', () => {
      select.value = env.uuid;
      loadTree();
    });
    const remove = element('button', {type: 'button'}, 'remove');
    remove.addEventListener('click', () => guarded(remove, result, async () => {
      await rpc('host.environments.remove', {uuid: env.uuid});
      await loadEnvironments();
    }));
    rows.append(element('tr', {'data-uuid': env.uuid},
        element('td', {}, env.name || ''), element('td', {}, env.boss_host),
        element('td', {}, env.api_host), element('td', {}, String(env.port)),
        element('td', {}, env.ssl ? 'yes' : 'no'), element('td', {}, env.version),
        element('td', {}, env.access_key), element('td', {className: 'uuid'}, env.uuid),
        element('td', {className: 'actions'}, test, ' ', browse, ' ', remove, result)));
    select.append(element('option', {value: env.uuid}, environmentLabel(env)));
  }
  $('env-empty').hidden = list.length > 0;
  if (list.some((env) => env.uuid === chosen)) select.value = chosen;
  if (select.value !== chosen) loadTree();
  return list;
}

function addEnvironment(event) {
  event.preventDefault();
  const form = $('add-form');
  const data = new FormData(form);
  const params = {
    name: data.get('name').trim() || undefined,
    boss_host: data.get('boss_host').trim(),
    api_host: data.get('api_host').trim(),
    port: Number(data.get('port')),
    ssl: data.get('ssl') === 'on',
    access_key: data.get('access_key').trim(),
    secret_access_key: data.get('secret_access_key'),
    version: data.get('version').trim(),
  };
  keep(params);
}

// Keeps the settings once their login test passes; when it fails, says why
// and offers to keep them untested.
function keep(params) {
  const out = $('add-result');
  guarded($('add-button'), out, async () => {
    let added;
    try {
      added = await rpc('host.environments.add', params);
    } catch (e) {
      if (!(e instanceof RpcError) || !e.data || params.test === false) throw e;
      showFailure(out, e.message, e.data);
      const anyway = element('button', {type: 'button', id: 'keep-anyway'}, 'keep anyway');
      anyway.addEventListener('click', () => keep({...params, test: false}));
      out.querySelector('.message').after(' ', anyway);
      return;
    }
    $('add-form').elements.secret_access_key.value = '';
    const kept = await loadEnvironments();
    out.className = 'result ok';
    out.textContent = 'added';
    // Kept all the same: two for one platform and key are told apart by name.
    if (added.same_as) {
      const same = kept.find((env) => env.uuid === added.same_as);
      out.append(', with the same hosts, port, TLS and key id as ',
                 same ? environmentLabel(same) : added.same_as);
    }
    $('env-select').value = added.uuid;
    loadTree();
  });
}

// Search ------------------------------------------------------------------

function search(event) {
  event.preventDefault();
  const type = $('search-type').value;
  const out = $('search-result');
  guarded($('search-button'), out, async () => {
    showTree($('search-tree'), []);
    if (!currentEnvironment()) throw new Error('add or choose an environment first');
    const found = await rpc('qingcloud.list', {
      uuid: currentEnvironment(), subtype: 'search', search_type: type,
      search: $('search-text').value,
    });
    out.className = 'result';
    out.textContent = `${found.length} found`;
    showTree($('search-tree'), zoneGroups(found));
  });
}

// The hits by zone, one open branch a zone; a hit does not open.
function zoneGroups(found) {
  const byZone = new Map();
  for (const node of found) {
    const zone = node.zone || 'zones';
    if (!byZone.has(zone)) byZone.set(zone, []);
    byZone.get(zone).push({...nodeEntry(node, 'search'), children: null});
  }
  return Array.from(byZone, ([zone, hits]) => ({
    type: 'Zone', moid: zone, kind: KIND.Zone, name: zone, facts: `${hits.length} found`,
    children: () => hits, open: true,
  }));
}

// The port follows the TLS box while it holds the other's default.
function tlsChanged(event) {
  const port = $('add-form').elements.port;
  const [from, to] = event.target.checked ? ['80', '443'] : ['443', '80'];
  if (port.value === from) port.value = to;
}

document.addEventListener('DOMContentLoaded', () => {
  $('add-form').addEventListener('submit', addEnvironment);
  $('add-form').elements.ssl.addEventListener('change', tlsChanged);
  $('search-form').addEventListener('submit', search);
  treeWidget($('tree'));
  treeWidget($('search-tree'));
  $('env-select').addEventListener('change', loadTree);
  for (const radio of document.querySelectorAll('input[name=view]')) {
    radio.addEventListener('change', loadTree);
  }
  loadEnvironments();
});
