'use strict';
// The panel: a full state on connect, then only what changed, as server-sent events.
const channels = new Map();
let loggedIn = false;
let passwordSet = false;
const $ = (id) => document.getElementById(id);
const number = new Intl.NumberFormat('de-DE', { minimumFractionDigits: 2, maximumFractionDigits: 2 });

function showMessage(text) {
  $('message').textContent = text || '';
  $('message').hidden = !text;
}

function stateText(ch) {
  if (ch.cutoff) return ['abgeschaltet', 'cutoff'];
  if (ch.stale) return ['veraltet', 'stale'];
  if (ch.alarm && ch.on) return ['Alarm', 'alarm'];
  return ch.on ? ['an', 'on'] : ['aus', 'off'];
}

function row(k) {
  let li = $('ch-' + k);
  if (!li) {
    li = $('channel-template').content.firstElementChild.cloneNode(true);
    li.id = 'ch-' + k;
    li.dataset.channel = k;
    li.querySelector('.number').textContent = k;
    li.querySelector('.on').addEventListener('click', () => post('/api/channels/' + k + '/on'));
    li.querySelector('.off').addEventListener('click', () => post('/api/channels/' + k + '/off'));
    $('channels').appendChild(li);
  }
  return li;
}

function render(ch) {
  const li = row(ch.number);
  const name = li.querySelector('.name');
  name.textContent = ch.name;
  name.title = ch.name;
  const fill = li.querySelector('.fill');
  fill.style.width = ch.bar + '%';
  fill.style.background = ch.colour;
  li.querySelector('.current').textContent = number.format(ch.current) + ' A';
  const [text, cls] = stateText(ch);
  const state = li.querySelector('.state');
  state.textContent = text;
  state.className = 'state ' + cls;
  li.dataset.state = cls;
}

function merge(change) {
  const ch = Object.assign(channels.get(change.number) || {}, change);
  channels.set(change.number, ch);
  render(ch);
}

// The line at the top that stays while scrolling: which channels are cut off.
function showSummary() {
  const cut = [...channels.values()].filter((ch) => ch.cutoff)
    .sort((a, b) => a.number - b.number)
    .map((ch) => ch.name || 'Kanal ' + ch.number);
  const summary = $('summary');
  summary.textContent = cut.length === 0 ? ''
    : (cut.length === 1 ? '1 Kanal' : cut.length + ' Kanäle') + ' abgeschaltet: ' + cut.join(', ');
  summary.hidden = cut.length === 0;
}

function addEvents(events) {
  const list = $('journal');
  for (const ev of events) {
    const li = document.createElement('li');
    const time = new Date(ev.time).toLocaleString('de-DE');
    const who = ev.channel ? 'Kanal ' + ev.channel + (ev.name ? ' (' + ev.name + ')' : '') : 'Alle';
    li.textContent = time + ' – ' + ev.kind + ' – ' + who + (ev.detail ? ' – ' + ev.detail : '');
    list.insertBefore(li, list.firstChild);
  }
  while (list.children.length > 20) list.removeChild(list.lastChild);
}

function onMessage(msg) {
  if (msg.type === 'state') {
    $('journal').textContent = '';
    addEvents(msg.journal || []);
    if (msg.state) {
      $('station').textContent = msg.state.station;
      $('time').textContent = new Date(msg.state.time).toLocaleTimeString('de-DE');
      channels.clear();
      msg.state.channels.forEach(merge);
    }
    showSummary();
  } else if (msg.type === 'delta') {
    $('time').textContent = new Date(msg.time).toLocaleTimeString('de-DE');
    (msg.channels || []).forEach(merge);
    addEvents(msg.journal || []);
    showSummary();
  }
}

// The browser's own retry gives up after some errors (a 503, a dropped
// stream); so the page retries itself, waiting longer each time.
const retry = { delay: 1000, max: 30000, timer: null };

function setOnline(online) {
  $('connection').textContent = online ? 'Verbunden' : 'Verbindung unterbrochen';
  $('connection').className = online ? 'online' : 'offline';
  $('offline-banner').hidden = online;
}

function connect() {
  retry.timer = null;
  const events = new EventSource('/events');
  events.onopen = () => { retry.delay = 1000; setOnline(true); };
  events.onmessage = (e) => onMessage(JSON.parse(e.data));
  events.onerror = () => {
    events.close();
    setOnline(false);
    if (retry.timer === null) {
      const wait = retry.delay * (0.8 + 0.4 * Math.random());
      retry.delay = Math.min(retry.delay * 2, retry.max);
      retry.timer = setTimeout(() => { connect(); refreshSession(); }, wait);
    }
  };
}

function showLogin() {
  $('login-form').hidden = loggedIn || !passwordSet;
  $('logged-in').hidden = !loggedIn;
  $('no-password').hidden = passwordSet;
  for (const b of document.querySelectorAll('.switch')) b.disabled = !loggedIn;
}

async function refreshSession() {
  try {
    const r = await fetch('/api/session', { credentials: 'same-origin' });
    const s = await r.json();
    loggedIn = s.loggedIn;
    passwordSet = s.passwordSet;
  } catch (e) { /* shown as offline by the socket */ }
  showLogin();
}

async function post(path, body) {
  try {
    const r = await fetch(path, {
      method: 'POST', credentials: 'same-origin',
      headers: { 'Content-Type': 'application/json' },
      body: body ? JSON.stringify(body) : '{}',
    });
    const data = await r.json().catch(() => ({}));
    showMessage(r.ok ? '' : (data.error || 'Fehler ' + r.status));
    if (r.status === 401 || r.status === 403) await refreshSession();
    return r.ok;
  } catch (e) {
    showMessage('Keine Verbindung zum Programm');
    return false;
  }
}

$('login-form').addEventListener('submit', async (e) => {
  e.preventDefault();
  if (await post('/api/login', { password: $('password').value })) {
    $('password').value = '';
    await refreshSession();
  }
});
$('logout-button').addEventListener('click', async () => { await post('/api/logout'); await refreshSession(); });
$('all-on').addEventListener('click', () => post('/api/all/on'));
$('all-off').addEventListener('click', () => post('/api/all/off'));
for (let k = 1; k <= 16; ++k) row(k);
refreshSession();
connect();
