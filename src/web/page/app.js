// The web console: signs in, shows the roots and a root's libraries, starts scans and
// cleanings, and follows the server's events so every open page shows the same.

import { request, openEvents } from './api.js';
import { CleaningPanel } from './cleaning_panel.js';
import { showHistory } from './history_panel.js';
import { LibraryList, KINDS, sizeBar } from './library_list.js';
import { loadTexts, applyTexts, currentLanguage, t, tn, formatSize, formatNumber, formatAge, formatDate, parseTime, exactBytes } from './texts.js';

const $ = (id) => document.getElementById(id);
const ALL_KINDS = KINDS.map(([kind]) => kind);
const SORTS = [['scan', 'sortScan'], ['name', 'sortName'], ['size', 'sortSize'], ['reclaimable', 'sortReclaimable'], ['lastModified', 'lastModified']];
const DESCENDING_FIRST = new Set(['size', 'reclaimable', 'lastModified']);

const state = {
  me: null, // { name, role }
  roots: [],
  rootId: null,
  sort: 'scan',
  descending: false,
  filter: '',
  viewRequest: 0, // answers to older list requests are dropped
  events: null,
};
const api = { onSignedOut: () => showSignIn() };
const list = new LibraryList($('list'), () => showSelection());
list.head = document.querySelector('.list-head');
const cleaning = new CleaningPanel(api);
cleaning.onFinished = () => showHistory(api);

const currentRoot = () => state.roots.find((root) => root.id === state.rootId);
const mayClean = () => state.me && state.me.role === 'cleaner';

async function start() {
  await loadTexts(localStorage.getItem('velmora.language') || '');
  showTexts();
  // A sign-in address carries its token once: it leaves the address bar (and the history) first.
  const params = new URLSearchParams(location.search);
  const token = params.get('token');
  if (token) {
    history.replaceState(null, '', location.pathname);
    await signIn(token);
    return;
  }
  try {
    state.me = await request('GET', '/session');
    await showConsole();
  } catch {
    showSignIn();
  }
}

async function signIn(token) {
  try {
    state.me = await request('POST', '/session', { token });
    $('tokenInput').value = '';
    $('signInError').textContent = '';
    await showConsole();
  } catch (error) {
    showSignIn();
    $('signInError').textContent = error.status === 401 ? t('wrongToken') : t('failedRequest', error.message);
  }
}

function showSignIn() {
  state.me = null;
  if (state.events) state.events.close();
  state.events = null;
  $('consoleView').hidden = true;
  $('signOut').hidden = true;
  $('who').textContent = '';
  $('signInView').hidden = false;
  $('tokenInput').focus();
}

async function showConsole() {
  $('signInView').hidden = true;
  $('consoleView').hidden = false;
  $('signOut').hidden = false;
  $('who').textContent = state.me.name;
  $('actions').hidden = !mayClean();
  $('viewerNote').hidden = mayClean();
  if (!state.events) state.events = openEvents(onEvent, (open) => ($('connection').hidden = open));
  await loadRoots();
  showHistory(api);
}

// The roots' figures, and the shown root's libraries unless only another root changed.
async function loadRoots(withLibraries = true) {
  state.roots = (await request('GET', `/roots?lang=${currentLanguage()}`, undefined, api)).roots;
  if (!currentRoot() && state.roots.length) {
    state.rootId = state.roots[0].id;
    withLibraries = true;
  }
  showRoots();
  if (withLibraries) await loadLibraries();
}

function showRoots() {
  const items = state.roots.map((root) => {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'root-button';
    button.setAttribute('aria-current', String(root.id === state.rootId));
    const label = Object.assign(document.createElement('strong'), { textContent: root.label });
    const path = Object.assign(document.createElement('small'), { textContent: root.path });
    const figures = document.createElement('small');
    figures.textContent = root.lastScan
      ? `${tn('libraryCount', root.lastScan.libraries)} · ${formatSize(root.lastScan.size)} · ${t('reclaimable')} ${formatSize(root.lastScan.reclaimable)}`
      : t('notScanned');
    button.append(label, path, figures);
    button.addEventListener('click', () => {
      state.rootId = root.id;
      list.select([]);
      showRoots();
      loadLibraries();
    });
    item.append(button);
    return item;
  });
  $('rootList').replaceChildren(...items);
  showRootHead();
}

function showRootHead() {
  const root = currentRoot();
  if (!root) return;
  $('rootTitle').textContent = root.label;
  $('rootPath').textContent = root.path;
  const summary = $('rootSummary');
  summary.replaceChildren();
  if (root.lastScan) {
    const sums = { cacheSize: root.lastScan.render, proxySize: root.lastScan.proxy, optimizedSize: root.lastScan.optimized, analysisSize: root.lastScan.analysis };
    const line = document.createElement('p');
    line.textContent = `${tn('libraryCount', root.lastScan.libraries)} · ${t('total')} ${formatSize(root.lastScan.size)} · ${t('reclaimable')} ${formatSize(root.lastScan.reclaimable)}`;
    line.title = exactBytes(root.lastScan.size);
    const legend = document.createElement('ul');
    legend.className = 'legend';
    for (const [kind, field] of KINDS) {
      const item = document.createElement('li');
      const swatch = Object.assign(document.createElement('span'), { className: 'swatch ' + kind });
      swatch.setAttribute('aria-hidden', 'true');
      item.append(swatch, `${t(kind)} ${formatSize(sums[field])}`);
      item.title = exactBytes(sums[field]);
      legend.append(item);
    }
    summary.append(line, sizeBar(sums, root.lastScan.size), legend);
    // Folders the scan could not read: the figures leave them out, and the page says so.
    const unread = root.lastScan.firstUnreadable;
    if (unread) {
      const warning = Object.assign(document.createElement('p'), { className: 'unreadable' });
      warning.textContent = tn('unreadableFolders', root.lastScan.unreadable, unread.path, unread.reasonText);
      summary.append(warning);
    }
  }
  showScanStatus(root);
}

function showScanStatus(root) {
  const status = root.scanning
    ? t('scanCount', formatNumber(root.progress ? root.progress.entries : 0), formatNumber(root.progress ? root.progress.libraries : 0))
    : root.lastScan
      ? t('scannedAt', formatAge(root.lastScan.finished))
      : t('notScanned');
  $('scanStatus').textContent = status;
  if (root.lastScan) $('scanStatus').title = formatDate(root.lastScan.finished);
  $('rescan').disabled = root.scanning;
}

// The records of the root's last scan, then the order and filter asked for.
async function loadLibraries() {
  const root = currentRoot();
  if (!root) return;
  const records = [];
  if (root.lastScan) {
    const path = `/roots/${encodeURIComponent(root.id)}/libraries?limit=1000&offset=`;
    const first = await request('GET', path + 0, undefined, api);
    records.push(...first.libraries);
    const rest = [];
    for (let offset = records.length; offset < first.total; offset += 1000) rest.push(request('GET', path + offset, undefined, api));
    for (const page of await Promise.all(rest)) records.push(...page.libraries);
  }
  if (root.id !== state.rootId) return;
  list.setRecords(records);
  await loadView();
  showSelection();
}

async function loadView() {
  const root = currentRoot();
  const number = ++state.viewRequest;
  let ids = [];
  if (root && root.lastScan) {
    const query = new URLSearchParams({ sort: state.sort, order: state.descending ? 'desc' : 'asc', filter: state.filter, fields: 'id', limit: '100000' });
    ids = (await request('GET', `/roots/${encodeURIComponent(root.id)}/libraries?${query}`, undefined, api)).libraries;
  }
  if (number !== state.viewRequest) return;
  list.setView(ids);
  // The moment the first list shows, for the page's benchmark.
  if (ids.length && !performance.getEntriesByName('list-shown').length) performance.mark('list-shown');
  const empty = $('listEmpty');
  empty.hidden = ids.length > 0 || !root;
  if (root) empty.textContent = !root.lastScan ? t('notScanned') : list.records.size === 0 ? t('noLibraries', root.path) : t('noMatch');
}

function showSelection() {
  const chosen = list.selectedRecords();
  $('selectionStatus').textContent = tn('selectedCount', chosen.length);
  const none = chosen.length === 0;
  for (const button of document.querySelectorAll('.clean-selected')) button.disabled = none;
  $('selectionHint').hidden = !none;
  $('cleanAll').disabled = list.records.size === 0;
}

function sumsOf(records) {
  const sums = { cacheSize: 0, proxySize: 0, optimizedSize: 0, analysisSize: 0 };
  for (const record of records) for (const [, field] of KINDS) sums[field] += record[field];
  return sums;
}

function clean(kinds, all) {
  const root = currentRoot();
  const libraries = all ? [...list.records.values()] : list.selectedRecords();
  if (!root || !libraries.length) return;
  cleaning.confirmAndStart({ root, libraries, all, kinds, count: libraries.length, sums: sumsOf(libraries) });
}

function onEvent(type, data) {
  if (type === 'resync') {
    loadRoots();
    return;
  }
  if (type === 'scan' || type === 'scanProgress') {
    const root = state.roots.find((r) => r.id === data.root);
    if (!root) return;
    root.scanning = data.state === 'started' || data.state === 'running';
    root.progress = { entries: data.entries, libraries: data.libraries };
    if (data.state === 'done') loadRoots(root.id === state.rootId); // the new figures, in every open page
    else if (root.id === state.rootId) showScanStatus(root);
    return;
  }
  cleaning.event(type, data);
}

function showTexts() {
  applyTexts();
  const sort = $('sort');
  sort.replaceChildren(...SORTS.map(([key, text]) => new Option(t(text), key, false, key === state.sort)));
  showOrder();
  $('language').value = currentLanguage();
}

function showOrder() {
  $('order').textContent = state.descending ? t('descending') : t('ascending');
}

function wire() {
  $('signInForm').addEventListener('submit', (event) => {
    event.preventDefault();
    signIn($('tokenInput').value.trim());
  });
  $('signOut').addEventListener('click', async () => {
    await request('POST', '/session/end', {}).catch(() => {});
    showSignIn();
  });
  $('language').addEventListener('change', async () => {
    localStorage.setItem('velmora.language', $('language').value);
    await loadTexts($('language').value);
    showTexts();
    if (state.me) {
      showRoots();
      list.draw(true);
      showSelection();
      showHistory(api);
    }
  });
  $('rescan').addEventListener('click', async () => {
    const root = currentRoot();
    root.scanning = true;
    showScanStatus(root);
    await request('POST', `/roots/${encodeURIComponent(root.id)}/scan`, {}, api).catch(() => {});
  });
  $('filter').addEventListener('input', () => {
    state.filter = $('filter').value;
    loadView();
  });
  $('sort').addEventListener('change', () => {
    state.sort = $('sort').value;
    state.descending = DESCENDING_FIRST.has(state.sort);
    showOrder();
    loadView();
  });
  $('order').addEventListener('click', () => {
    state.descending = !state.descending;
    showOrder();
    loadView();
  });
  $('selectAll').addEventListener('click', () => list.select(list.view));
  $('selectNone').addEventListener('click', () => list.select([]));
  $('selectUntouched').addEventListener('click', () => {
    const days = Number($('days').value);
    if (!Number.isFinite(days) || days < 0) return;
    const before = Date.now() - days * 86400000;
    list.select(list.view.filter((id) => parseTime(list.records.get(id).lastModified).getTime() < before));
  });
  for (const [kind] of KINDS) $('clean-' + kind).addEventListener('click', () => clean([kind], false));
  $('cleanLibrary').addEventListener('click', () => clean(ALL_KINDS, false));
  $('cleanAll').addEventListener('click', () => clean(ALL_KINDS, true));
  // The age of the last scan goes on, without asking the server.
  setInterval(() => currentRoot() && !currentRoot().scanning && showScanStatus(currentRoot()), 30000);
}

wire();
start();
