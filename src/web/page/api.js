// The server's JSON API and its event stream: the one way the page talks to the server.

export class ApiError extends Error {
  constructor(status, code, message) {
    super(message);
    this.status = status;
    this.code = code;
  }
}

// Sends a request; answers the parsed JSON, or throws an ApiError with the server's own words.
// A 401 means the session ended (signed out elsewhere, its token removed): `onSignedOut` runs.
export async function request(method, path, body, { onSignedOut } = {}) {
  const options = { method, headers: {}, credentials: 'same-origin' };
  if (body !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch('/api/v1' + path, options);
  } catch (error) {
    throw new ApiError(0, 'network', error.message);
  }
  const text = await response.text();
  let json = null;
  try {
    json = text ? JSON.parse(text) : null;
  } catch {
    json = null;
  }
  if (response.ok) return json;
  if (response.status === 401 && onSignedOut) onSignedOut();
  const error = json && json.error ? json.error : { code: 'http', message: response.statusText };
  throw new ApiError(response.status, error.code, error.message);
}

// Every event the server sends, as (type, data); `onState` hears whether the stream is open.
// The browser reconnects on its own and the server replays what was missed (Last-Event-ID).
export function openEvents(onEvent, onState) {
  const source = new EventSource('/api/v1/events');
  for (const type of ['scan', 'scanProgress', 'run', 'runProgress', 'entry', 'resync'])
    source.addEventListener(type, (event) => onEvent(type, event.data ? JSON.parse(event.data) : {}));
  source.addEventListener('open', () => onState(true));
  source.addEventListener('error', () => onState(false));
  return source;
}
