// The tree widget: WAI-ARIA's tree pattern (one tab stop, arrow keys) over
// items built a slice at a time, so that a level of 10,000 children costs
// the page only the few hundred it shows.
'use strict';

const SLICE = 200;  // children built at once: several screens' worth

// What an item shows and how its children come:
//   {type, moid, kind, name, facts, children, open}
// `children` is null for a leaf, else a function answering (a promise of)
// the entries of the level below; `open` opens the item at once.
const entryOf = new WeakMap();  // item -> its entry
const moreOf = new WeakMap();  // "show more" control -> what shows the next slice
const moreInView = new WeakMap();  // tree -> what watches its "show more" controls
let itemIds = 0;

const isItem = (e) => e !== null && e.getAttribute('role') === 'treeitem';
const expanded = (item) => item.getAttribute('aria-expanded') === 'true';

// Keys, clicks and scrolling, once for each tree on the page.
function treeWidget(tree) {
  // A tree scrolls in its own box (see console.css): a "show more" control
  // coming near the box's end shows the next slice as the operator scrolls,
  // and what grows below the box moves nothing else on the page.
  moreInView.set(tree, new IntersectionObserver((seen) => {
    for (const s of seen) if (s.isIntersecting) showMore(s.target);
  }, {root: tree, rootMargin: '0px 0px 400px 0px'}));
  tree.addEventListener('keydown', treeKey);
  tree.addEventListener('click', (event) => {
    const line = event.target.closest('.node');
    if (line && tree.contains(line)) toggleItem(line.parentElement);
  });
  // The item last focused, by key or click, is the tree's tab stop.
  tree.addEventListener('focusin', (event) => {
    if (isItem(event.target)) moveTabStop(tree, event.target);
  });
}

// Shows `entries` as the top level of `tree`.
function showTree(tree, entries) {
  moreInView.get(tree).disconnect();
  tree.replaceChildren();
  tree.hidden = entries.length === 0;
  const first = appendSlice(tree, entries, 0, 1);
  if (first) first.tabIndex = 0;
}

// Appends to `group` (in its tree) the items of entries[from...] up to a
// slice, the rest behind a "show more" control; answers the first item
// appended.
function appendSlice(group, entries, from, level) {
  const to = Math.min(entries.length, from + SLICE);
  const items = [];
  for (let i = from; i < to; i++) items.push(treeItem(entries[i], level, i + 1, entries.length));
  group.append(...items);
  if (to < entries.length) group.append(moreControl(group, entries, to, level));
  for (const item of items) if (entryOf.get(item).open) openItem(item);
  return items[0] || null;
}

// Five elements an item: few, for the thousands a level may hold.
function treeItem(entry, level, position, size) {
  const id = `item-${++itemIds}`;
  const item = element('li', {role: 'treeitem', tabindex: '-1', 'aria-labelledby': id,
                              'aria-level': level, 'aria-posinset': position,
                              'aria-setsize': size});
  if (entry.type) item.dataset.type = entry.type;
  if (entry.moid) item.dataset.moid = entry.moid;
  if (entry.children) item.setAttribute('aria-expanded', 'false');
  item.append(element('span', {className: 'node', id},
      element('span', {className: 'kind'}, entry.kind),
      element('span', {className: 'name'}, entry.name),
      entry.facts ? element('span', {className: 'facts'}, entry.facts) : null));
  entryOf.set(item, entry);
  return item;
}

function moreControl(group, entries, from, level) {
  const button = element('button', {type: 'button', tabindex: '-1'},
                         `show more (${entries.length - from} left)`);
  const more = element('li', {role: 'none', className: 'more'}, button);
  moreOf.set(more, () => {
    const focused = more.contains(document.activeElement);
    moreInView.get(group.closest('[role=tree]')).unobserve(more);
    more.remove();
    const first = appendSlice(group, entries, from, level);
    if (focused) focusItem(first);
  });
  button.addEventListener('click', () => showMore(more));
  moreInView.get(group.closest('[role=tree]')).observe(more);
  return more;
}

function showMore(more) {
  const show = moreOf.get(more);
  moreOf.delete(more);
  if (show && more.isConnected) show();
}

function groupOf(item) {
  const last = item.lastElementChild;
  return last.getAttribute('role') === 'group' ? last : null;
}

function toggleItem(item) {
  if (!item.hasAttribute('aria-expanded')) return;
  if (expanded(item)) closeItem(item);
  else openItem(item);
}

function closeItem(item) {
  const group = groupOf(item);
  item.setAttribute('aria-expanded', 'false');
  if (!group) return;
  group.hidden = true;
  // Neither focus nor the tab stop may stay in a closed branch.
  if (group.contains(document.activeElement)) focusItem(item);
  else if (group.querySelector('[tabindex="0"]')) moveTabStop(item.closest('[role=tree]'), item);
}

// Opens an item; its children load the first time, and a failure says why
// under it until a later click loads them again.
async function openItem(item) {
  const shown = groupOf(item);
  if (shown) {
    shown.hidden = false;
    item.setAttribute('aria-expanded', 'true');
    return;
  }
  if (item.getAttribute('aria-busy') === 'true') return;
  item.setAttribute('aria-busy', 'true');
  const failure = item.querySelector(':scope > .failure');
  if (failure) failure.remove();
  try {
    const children = await entryOf.get(item).children();
    const group = element('ul', {role: 'group'});
    item.append(group);
    appendSlice(group, children, 0, Number(item.getAttribute('aria-level')) + 1);
    if (!children.length) {
      group.append(element('li', {role: 'none', className: 'note'}, 'nothing here'));
    }
    item.setAttribute('aria-expanded', 'true');
  } catch (e) {
    const out = element('div', {className: 'failure', role: 'status'});
    item.firstElementChild.after(out);
    showFailure(out, e.message, e.data);
  } finally {
    item.removeAttribute('aria-busy');
  }
}

// Keyboard ------------------------------------------------------------------

function treeKey(event) {
  const item = event.target;
  if (!isItem(item) || event.altKey || event.ctrlKey || event.metaKey) return;
  const tree = event.currentTarget;
  const act = {
    ArrowDown: () => nextItem(item),
    ArrowUp: () => previousItem(item),
    Home: () => firstItem(tree),
    End: () => lastVisible(lastItemIn(tree)),
    ArrowRight: () => right(item),
    ArrowLeft: () => left(item),
    Enter: () => toggleItem(item),
    ' ': () => toggleItem(item),
  }[event.key];
  if (!act) return;
  event.preventDefault();
  const to = act();
  if (to) focusItem(to);
}

// Right opens a closed item, or goes to the first child of an open one.
function right(item) {
  if (expanded(item)) return firstChild(item);
  toggleItem(item);
  return null;
}

// Left closes an open item, or goes to its parent.
function left(item) {
  if (!expanded(item)) return parentItem(item);
  closeItem(item);
  return null;
}

function focusItem(item) {
  moveTabStop(item.closest('[role=tree]'), item);
  item.focus();
}

function moveTabStop(tree, item) {
  const stop = tree.querySelector('[role=treeitem][tabindex="0"]');
  if (stop && stop !== item) stop.tabIndex = -1;
  item.tabIndex = 0;
}

function firstItem(tree) {
  let at = tree.firstElementChild;
  while (at && !isItem(at)) at = at.nextElementSibling;
  return at;
}

function lastItemIn(list) {
  let at = list.lastElementChild;
  while (at && !isItem(at)) at = at.previousElementSibling;
  return at;
}

function firstChild(item) {
  const group = groupOf(item);
  return expanded(item) && group ? firstItem(group) : null;
}

function parentItem(item) {
  const up = item.parentElement.closest('[role=treeitem], [role=tree]');
  return isItem(up) ? up : null;
}

// The item after: its first child when open, else the next sibling of it
// or of the nearest parent that has one.  A sibling still behind "show
// more" is shown first.
function nextItem(item) {
  const child = firstChild(item);
  if (child) return child;
  for (let at = item; at; at = parentItem(at)) {
    let next = at.nextElementSibling;
    if (next && moreOf.has(next)) {
      showMore(next);
      next = at.nextElementSibling;
    }
    if (next) return next;
  }
  return null;
}

function previousItem(item) {
  const before = item.previousElementSibling;
  return before ? lastVisible(before) : parentItem(item);
}

// The last item shown in the branch of `item`.
function lastVisible(item) {
  for (let at = item; at; at = expanded(at) && groupOf(at) ? lastItemIn(groupOf(at)) : null) {
    item = at;
  }
  return item;
}
