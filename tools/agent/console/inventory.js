// The inventory tree: loaded one level at a time as the backup console
// does, each node shown with what tells it apart.
'use strict';

const GIB = 1024 * 1024 * 1024;
let zones = [];  // of the environment being browsed, from the top of its tree
let treeGeneration = 0;  // a newer load of the tree makes older answers moot

const KIND = {
  Zone: 'zone', HostSystem: 'host', VirtualMachine: 'instance', Disk: 'disk', User: 'user',
  Vxnet: 'network',
};

// Which node types open, view by view, as the backup console walks the tree:
// the recovery view's hosts say has_children but are not listed there, and
// instances say none but open to their disks.  The host program keeps the
// same table (client_expands); a test holds the two together.
const OPENS = {
  hosts: ['Zone', 'HostSystem', 'VirtualMachine'],
  vms: ['Zone', 'VirtualMachine'],
  recovery: ['Zone', 'User'],
};

function expandable(node, inView) {
  return (OPENS[inView] || []).includes(node.type);
}

function view() {
  return document.querySelector('input[name=view]:checked').value;
}

function gib(bytes) {
  return `${Math.round((bytes / GIB) * 10) / 10} GiB`;
}

// What a node shows besides its name.
function facts(node) {
  switch (node.type) {
    case 'VirtualMachine':
      return `${node.moid} \u00b7 ${node.owner} \u00b7 ${node.status} \u00b7 ${gib(node.size)}`;
    case 'Disk':
      return `${node.moid} \u00b7 ${gib(node.size)}`;
    case 'HostSystem':
      return node.zone;
    case 'User':
      return node.moid;
    case 'Vxnet':
      return `${node.moid} \u00b7 ${node.owner}${node.vpc_router_id ? ' \u00b7 ' + node.vpc_router_id : ''}`;
    default:
      return '';
  }
}

// A node as an entry of the tree (see tree.js), opening as `inView` says.
function nodeEntry(node, inView) {
  return {
    type: node.type, moid: node.moid, kind: KIND[node.type] || node.type,
    name: node.name || node.moid, facts: facts(node),
    children: expandable(node, inView) ? () => childrenOf(node, inView) : null,
  };
}

function list(params) {
  return rpc('qingcloud.list', {uuid: currentEnvironment(), subtype: 'inventory', ...params});
}

// The level below `node` in the view `inView`.
async function childrenOf(node, inView) {
  if (node.type === 'User') return zones.map((zone) => userZone(node, zone));
  const children = await list({view: inView, type: node.type, moid: node.moid,
                               zone: node.zone || ''});
  return children.map((child) => nodeEntry(child, inView));
}

// A user's networks are per zone: one branch a zone.
function userZone(user, zone) {
  return {
    type: 'Zone', moid: zone, kind: KIND.Zone, name: zone,
    children: async () => {
      const vxnets = await list({view: 'recovery', type: 'Vxnet', moid: user.moid, zone});
      return vxnets.map((vxnet) => nodeEntry(vxnet, 'recovery'));
    },
  };
}

// Every active user, each with the networks it may use in each zone.
function usersEntry() {
  return {
    type: 'Users', moid: 'users', kind: 'users', name: 'users', facts: 'every active user',
    children: async () => {
      const users = await list({view: 'recovery', type: 'User'});
      return users.map((user) => nodeEntry(user, 'recovery'));
    },
  };
}

async function loadTree() {
  const tree = $('tree');
  const error = $('tree-error');
  const generation = ++treeGeneration;
  showTree(tree, []);
  error.hidden = true;
  if (!currentEnvironment()) return;
  const inView = view();
  try {
    const top = await list({view: inView});
    if (generation !== treeGeneration) return;
    zones = top.map((zone) => zone.moid);
    const entries = top.map((zone) => nodeEntry(zone, inView));
    if (inView === 'recovery') entries.push(usersEntry());
    showTree(tree, entries);
  } catch (e) {
    if (generation !== treeGeneration) return;
    showFailure(error, `Cannot list the zones: ${e.message}`, e.data);
    error.hidden = false;
  }
}
