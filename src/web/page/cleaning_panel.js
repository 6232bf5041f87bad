// Cleaning: the confirmation that says what will go, the run's live progress with its stop
// button, and the closing report of what went and what had to stay.

import { request } from './api.js';
import { KINDS } from './library_list.js';
import { t, tn, currentLanguage, formatSize, exactBytes } from './texts.js';

const $ = (id) => document.getElementById(id);
// A whole root's run may remove tens of thousands of entries: the report lists this many,
// those that had to stay first, and says how many more there were.
const LISTED_ENTRIES = 1000;

export class CleaningPanel {
  constructor(api) {
    this.api = api; // { request, onSignedOut }
    this.run = null; // the run this page started or follows: { id, root, done, total, removed }
    this.onFinished = () => {};
    // Runs seen to end: a short run may end before the answer that names it reaches the page.
    this.ended = new Set();
    $('stopRun').addEventListener('click', () => this.stop());
  }

  // Asks first; on "Clean", starts the run. `what`: { root, libraries (records), all, kinds }.
  async confirmAndStart(what) {
    const dialog = $('confirm');
    $('confirmText').textContent = tn('confirmText', what.count, what.root.label);
    const list = $('confirmKinds');
    list.replaceChildren();
    for (const kind of what.kinds) {
      const field = KINDS.find(([key]) => key === kind)[1];
      const bytes = what.sums[field];
      const item = document.createElement('li');
      const swatch = document.createElement('span');
      swatch.className = 'swatch ' + kind;
      swatch.setAttribute('aria-hidden', 'true');
      item.append(swatch, `${t(kind)}: ${formatSize(bytes)}`);
      item.title = exactBytes(bytes);
      list.append(item);
    }
    dialog.returnValue = '';
    dialog.showModal();
    $('confirmCancel').focus();
    const answer = await new Promise((resolve) => dialog.addEventListener('close', () => resolve(dialog.returnValue), { once: true }));
    if (answer !== 'clean') return;
    const body = what.all ? { all: true, categories: what.kinds } : { libraries: what.libraries.map((l) => l.id), categories: what.kinds };
    try {
      const started = await request('POST', `/roots/${encodeURIComponent(what.root.id)}/clean`, body, this.api);
      this.follow(started.run, what.root.id);
    } catch (error) {
      this.showProblem(t('failedRequest', error.message));
    }
  }

  follow(id, root) {
    this.run = { id, root, done: 0, total: 0, removed: 0, stopping: false };
    $('report').hidden = true;
    this.showProgress(t('cleaningPercent', 0), 0);
    $('stopRun').hidden = false;
    $('stopRun').disabled = false;
    if (this.ended.has(id)) this.finish();
  }

  async stop() {
    if (!this.run) return;
    this.run.stopping = true;
    $('stopRun').disabled = true;
    this.showProgress(t('stopping'), this.fraction());
    try {
      await request('POST', `/runs/${this.run.id}/stop`, {}, this.api);
    } catch (error) {
      this.showProblem(t('failedRequest', error.message));
    }
  }

  fraction() {
    return this.run && this.run.total ? this.run.done / this.run.total : 0;
  }

  // The server's events about runs; those of other runs (another page's) are not ours to show.
  event(type, data) {
    if (type === 'run' && data.state === 'done') this.ended.add(data.run);
    if (!this.run || data.run !== this.run.id) return;
    if (type === 'runProgress') {
      this.run.done = data.done;
      this.run.total = data.total;
    } else if (type === 'entry' && data.entry.status === 'deleted') {
      this.run.removed += 1;
    } else if (type === 'run' && data.state === 'waiting') {
      this.showProgress(t('waiting'), 0);
      return;
    } else if (type === 'run' && data.state === 'done') {
      this.finish();
      return;
    }
    if (!this.run.stopping) this.showProgress(t('cleaningPercent', Math.floor(100 * this.fraction())), this.fraction());
  }

  showProgress(text, fraction) {
    $('progress').classList.add('running');
    $('progressText').textContent = text;
    $('progressBar').value = fraction;
  }

  showProblem(text) {
    $('progress').classList.add('running');
    $('progressText').textContent = text;
    $('stopRun').hidden = true;
  }

  async finish() {
    const run = this.run;
    this.run = null;
    $('progress').classList.remove('running');
    $('stopRun').hidden = true;
    let report;
    try {
      report = await request('GET', `/runs/${run.id}?lang=${currentLanguage()}`, undefined, this.api);
    } catch (error) {
      this.showProblem(t('failedRequest', error.message));
      return;
    }
    this.showReport(report);
    this.onFinished(report);
  }

  // Says what went; a stop or a failure is said first, and then the run is never called done.
  showReport(report) {
    const lines = [];
    if (report.stopped) lines.push(tn('stoppedReport', report.removed));
    if (report.failed > 0)
      lines.push(tn('reportFailed', report.failed, report.firstFailure.path, report.firstFailure.reasonText));
    if (!report.stopped && report.failed === 0) lines.push(t('reportDone'));
    lines.push(tn('reportRemoved', report.removed, formatSize(report.bytes)));
    const summary = $('reportSummary');
    summary.replaceChildren(...lines.map((line) => Object.assign(document.createElement('p'), { textContent: line })));
    $('report').classList.toggle('failed', report.failed > 0 || report.stopped);
    const stayed = report.entries.filter((entry) => entry.status === 'failed');
    const listed = stayed.concat(report.entries.filter((entry) => entry.status !== 'failed')).slice(0, LISTED_ENTRIES);
    const entries = document.createDocumentFragment();
    for (const entry of listed) {
      const item = document.createElement('li');
      item.className = entry.status;
      const status = document.createElement('span');
      status.className = 'status';
      status.textContent = entry.status === 'failed' ? t('statusFailed') : t('statusDeleted');
      const path = document.createElement('span');
      path.className = 'path';
      path.textContent = entry.path;
      item.append(status, path);
      if (entry.error) item.append(Object.assign(document.createElement('span'), { className: 'reason', textContent: entry.errorText }));
      item.title = exactBytes(entry.bytes);
      entries.append(item);
    }
    const unlisted = Math.max(report.entries.length, report.removed + report.failed) - listed.length;
    if (unlisted > 0) entries.append(Object.assign(document.createElement('li'), { textContent: tn('moreEntries', unlisted) }));
    $('reportEntries').replaceChildren(entries);
    $('report').hidden = false;
  }
}
