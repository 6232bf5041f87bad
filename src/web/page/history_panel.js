// The history of cleanings on this server, newest first.

import { request } from './api.js';
import { t, currentLanguage, formatDate, formatSize, formatNumber, exactBytes } from './texts.js';

export async function showHistory(api) {
  const body = document.getElementById('historyRows');
  let cleanings;
  try {
    cleanings = (await request('GET', `/history?limit=100&lang=${currentLanguage()}`, undefined, api)).cleanings;
  } catch (error) {
    body.replaceChildren(row([t('failedRequest', error.message)], 8));
    return;
  }
  if (!cleanings.length) {
    body.replaceChildren(row([t('noHistory')], 8));
    return;
  }
  body.replaceChildren(...cleanings.map((c) => {
    const kinds = c.categories.map((kind) => t(kind)).join(', ');
    const failure = c.firstFailure ? `${c.firstFailure.path}: ${c.firstFailure.reasonText}` : '';
    const tr = row([
      formatDate(c.finished),
      `${c.by} (${c.client})`,
      c.root,
      c.libraries.join(', '),
      kinds,
      formatNumber(c.removed) + (c.stopped ? ' · ' + t('stoppedMark') : ''),
      formatNumber(c.failed) + (failure ? ' · ' + failure : ''),
      formatSize(c.bytes),
    ]);
    tr.lastChild.title = exactBytes(c.bytes);
    if (c.failed > 0 || c.stopped) tr.classList.add('failed');
    return tr;
  }));
}

function row(cells, span) {
  const tr = document.createElement('tr');
  for (const text of cells) {
    const td = document.createElement('td');
    td.textContent = text;
    if (span) td.colSpan = span;
    tr.append(td);
  }
  return tr;
}
