// The controller's web interface: one page per hash (#status, #settings, #dyno, #journal, #account),
// all of it talking to the controller through POST /api. The login lives in the cookies the server sets.

const NA = 'н/д';
const REFRESH_MS = 1000;
const STALE_MS = 5000;
const DYNO_SAMPLE_MS = 50;
const JOURNAL_CATEGORIES = [
  ['запуск программы', /velkord started/],
  ['переключатель режима работы', /переключатель режима работы:/],
  ['аварии', /[Аа]вари/],
  ['изменение настроек', /Настройка '.*' изменена:/],
  ['изменение числа качаний', /Изменено число качаний:/],
  ['пометки неисправности', /помечена как (не)?исправная/],
  ['текущее состояние привода', /I1=.* I2=.* F1=.* F2=/],
];
const COOKIES = ['login', 'time', 'nonce', 'password'];

const $ = (selector) => document.querySelector(selector);
const page = () => $('#page');
let timer = null;
let permissions = 0;

function element(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (name === 'text') node.textContent = value;
    else if (name.startsWith('on')) node.addEventListener(name.slice(2), value);
    else if (value !== false && value !== undefined) node.setAttribute(name, value === true ? '' : value);
  }
  for (const child of children) node.append(child);
  return node;
}

async function api(cmd, fields = {}) {
  const response = await fetch('/api', {
    method: 'POST',
    headers: {'Content-Type': 'application/json'},
    credentials: 'same-origin',
    body: JSON.stringify({cmd, ...fields}),
  });
  const answer = await response.json();
  if (answer.error === 'not logged in') {
    showLogin();
    throw new Error(answer.error2 || answer.error);
  }
  return answer;
}

function forgetCookies() {
  for (const name of COOKIES) document.cookie = `${name}=; path=/; max-age=0`;
}

function showLogin(message = '') {
  clearInterval(timer);
  $('#top').hidden = true;
  page().replaceChildren();
  $('#login').hidden = false;
  $('#login-error').textContent = message;
}

async function login(event) {
  event.preventDefault();
  const form = event.target;
  const answer = await api('login', {login: form.login.value, password: form.password.value});
  if (answer.error || answer.error2) {
    $('#login-error').textContent = answer.error2 || answer.error;
    return;
  }
  form.password.value = '';
  $('#login').hidden = true;
  $('#top').hidden = false;
  route();
}

function number(value, decimals = 1) {
  return typeof value === 'number' ? value.toFixed(decimals) : (value ?? NA);
}

// --- status ---

function statusPage() {
  const tiles = [
    ['time', 'Время'], ['mode', 'Состояние'], ['units', 'Выбранные насосные узлы'], ['F1', 'Частота ЧРП 1, Гц'], ['F2', 'Частота ЧРП 2, Гц'],
    ['current1', 'Ток ЧРП 1, А'], ['current2', 'Ток ЧРП 2, А'], ['P1', 'Давление 1, кгс/см²'],
    ['P2', 'Давление 2, кгс/см²'], ['G1', 'Нагрузка 1, кгс'], ['G2', 'Нагрузка 2, кгс'],
    ['oilTemp', 'Температура масла, °C'], ['ns', 'Число качаний, кач/мин'], ['serialNumber', 'Заводской номер'],
  ];
  const grid = element('div', {class: 'grid'});
  for (const [key, label] of tiles)
    grid.append(element('div', {class: 'value'}, element('span', {text: label}), element('b', {id: `v-${key}`, text: '…'})));
  page().replaceChildren(
    element('p', {id: 'stale', class: 'stale', hidden: true, text: 'Контроллер не отвечает'}),
    element('div', {class: 'card'}, element('h2', {text: 'Аварии'}), element('ul', {id: 'alarms'})),
    grid);
  let lastAnswer = Date.now();
  const refresh = async () => {
    try {
      const [live, settings] = await Promise.all([api('parametersRO'), api('parameters')]);
      const values = live.parameters || {};
      const show = (key, text) => { const node = $(`#v-${key}`); if (node) node.textContent = text; };
      show('time', new Date(values.time * 1000).toLocaleString('ru-RU'));
      for (const key of ['F1', 'F2', 'current1', 'current2', 'P1', 'P2', 'G1', 'G2', 'oilTemp'])
        show(key, number(values[key]));
      show('serialNumber', values.serialNumber);
      const alarms = Object.values(live.alarms || {});
      show('mode', alarms.length ? 'Авария' : 'Работа');
      show('ns', number(settings.parameters && settings.parameters.ns, 2));
      show('units', [1, 2].filter((unit) => values[`selectedDrive${unit}`] === 1).map((unit) => `НУ${unit}`).join(', ') || 'нет');
      if (settings.parameters && settings.parameters.wellName) $('#well').textContent = settings.parameters.wellName;
      $('#alarms').replaceChildren(...(alarms.length ? alarms.map((text) => element('li', {class: 'alarm', text}))
                                                      : [element('li', {text: 'Нет аварий'})]));
      lastAnswer = Date.now();
      $('#stale').hidden = true;
    } catch (error) {
      if (Date.now() - lastAnswer > STALE_MS && $('#stale')) $('#stale').hidden = false;
    }
  };
  refresh();
  timer = setInterval(() => {
    if (Date.now() - lastAnswer > STALE_MS && $('#stale')) $('#stale').hidden = false;
    refresh();
  }, REFRESH_MS);
}

// --- settings ---

function editorFor(setting, value, readOnly) {
  if (setting.kind === 'select') {
    const select = element('select', {name: setting.name, disabled: readOnly});
    setting.options.forEach((option, index) => select.append(element('option', {value: index, text: option})));
    select.value = String(value);
    return [select, () => Number(select.value)];
  }
  if (setting.kind === 'flags') {
    const box = element('div', {class: 'flags'});
    const inputs = setting.options.map((option, bit) => {
      const input = element('input', {type: 'checkbox', disabled: readOnly});
      input.checked = Math.floor(value / 2 ** bit) % 2 === 1;
      box.append(element('label', {}, input, option));
      return input;
    });
    return [box, () => inputs.reduce((mask, input, bit) => mask + (input.checked ? 2 ** bit : 0), 0)];
  }
  if (setting.kind === 'text') {
    const input = element('input', {name: setting.name, value, disabled: readOnly});
    return [input, () => input.value];
  }
  const step = 10 ** -setting.decimals;
  const input = element('input', {name: setting.name, type: 'number', min: setting.min, max: setting.max,
                                  step, disabled: readOnly});
  input.value = Number(value).toFixed(setting.decimals);
  return [input, () => {
    const entered = Number(input.value);
    if (input.value === '' || !(entered >= setting.min && entered <= setting.max))
      throw new Error(`допустимо от ${setting.min} до ${setting.max}`);
    return entered;
  }];
}

async function settingsPage() {
  const [catalogue, answer] = await Promise.all([fetch('/settings.json').then((r) => r.json()), api('parameters')]);
  const values = answer.parameters || {};
  const readOnly = (permissions & 1) === 0;
  const sections = [];
  if (readOnly) sections.push(element('p', {class: 'card', text: 'Только просмотр: изменять настройки может пользователь с полным доступом.'}));
  for (const group of catalogue.groups) {
    const details = element('details', {class: 'card'}, element('summary', {text: group.title}));
    for (const setting of group.settings) {
      if (!(setting.name in values)) continue;
      const [editor, read] = editorFor(setting, values[setting.name], readOnly);
      const note = element('small', {class: 'error'});
      const range = setting.kind === 'number' ? ` (${setting.min} … ${setting.max})` : '';
      const row = element('div', {class: 'setting', 'data-name': setting.name},
                          element('div', {}, setting.label + range, note), editor);
      if (!readOnly) {
        row.append(element('button', {type: 'button', text: 'Записать', onclick: async () => {
          note.textContent = '';
          let value;
          try { value = read(); } catch (error) { note.textContent = error.message; return; }
          const result = await api('setParameter', {parameter: setting.name, value});
          if (result.error) { note.textContent = result.error; return; }
          const reread = await api('parameters');
          const [fresh] = editorFor(setting, reread.parameters[setting.name], false);
          if (editor.tagName === 'INPUT' || editor.tagName === 'SELECT') editor.value = fresh.value;
          note.className = 'ok';
          note.textContent = 'записано';
        }}));
      }
      details.append(row);
    }
    sections.push(details);
  }
  page().replaceChildren(...sections);
}

// --- dynamograms ---

function dynogramSvg(record, byTime) {
  const loads = [...record.upLoads, ...record.downLoads];
  const up = record.upLoads.length;
  const width = 600, height = 300, pad = 40;
  const min = Math.min(...loads), max = Math.max(...loads);
  const span = max - min || 1;
  const x = (i) => {
    if (byTime) return pad + (i / Math.max(1, loads.length - 1)) * (width - 2 * pad);
    const position = i < up ? i / Math.max(1, up - 1) : 1 - (i - up) / Math.max(1, loads.length - up - 1);
    return pad + position * (width - 2 * pad);
  };
  const y = (load) => height - pad - ((load - min) / span) * (height - 2 * pad);
  const points = loads.map((load, i) => `${x(i).toFixed(1)},${y(load).toFixed(1)}`).join(' ');
  const ns = 'http://www.w3.org/2000/svg';
  const svg = document.createElementNS(ns, 'svg');
  svg.setAttribute('viewBox', `0 0 ${width} ${height}`);
  svg.innerHTML = `<rect x="${pad}" y="${pad}" width="${width - 2 * pad}" height="${height - 2 * pad}" fill="none" stroke="#c3cad3"/>
    <polyline points="${points}${byTime ? '' : ' ' + points.split(' ')[0]}" fill="none" stroke="#1d5fa8" stroke-width="2"/>
    <text x="4" y="${pad}" font-size="12">${max.toFixed(0)}</text><text x="4" y="${height - pad}" font-size="12">${min.toFixed(0)}</text>
    <text x="${width / 2 - 60}" y="${height - 8}" font-size="12">${byTime ? 'время, с' : 'положение штока'}</text>`;
  return svg;
}

async function dynoPage() {
  const answer = await api('dynamograms');
  const records = (answer.dynamograms || []).filter((r) => r.upLoads.length + r.downLoads.length > 1);
  if (!records.length) {
    page().replaceChildren(element('p', {class: 'card', text: 'Динамограммы ещё не записаны.'}));
    return;
  }
  const choice = element('select', {id: 'dyno-cycle'});
  records.forEach((record, index) => choice.append(element('option', {value: index, text: `Цикл ${index + 1} из ${records.length}`})));
  choice.value = String(records.length - 1);
  const byTime = element('input', {type: 'checkbox', id: 'dyno-time'});
  const card = element('div', {class: 'card', id: 'dyno-card'});
  const draw = () => {
    const record = records[Number(choice.value)];
    const period = record.periodMs || (record.upLoads.length + record.downLoads.length) * DYNO_SAMPLE_MS;
    card.replaceChildren(
      element('p', {text: `Период ${(period / 1000).toFixed(1)} с · мин. нагрузка ${record.minLoad.toFixed(0)} кгс · макс. нагрузка ${record.maxLoad.toFixed(0)} кгс`}),
      dynogramSvg(record, byTime.checked));
  };
  choice.addEventListener('change', draw);
  byTime.addEventListener('change', draw);
  page().replaceChildren(element('div', {class: 'card'}, choice, element('label', {}, byTime, ' по времени')), card);
  draw();
}

// --- journal ---

function categories(line) {
  const found = JOURNAL_CATEGORIES.map(([, pattern], bit) => (pattern.test(line) ? bit : -1)).filter((bit) => bit >= 0);
  return found.length ? found : [JOURNAL_CATEGORIES.length];
}

async function journalPage() {
  const answer = await api('journal', {lines: 500});
  const lines = answer.journal || [];
  const names = [...JOURNAL_CATEGORIES.map(([name]) => name), 'все остальное'];
  const boxes = names.map((name) => element('input', {type: 'checkbox', 'data-category': name}));
  const output = element('pre', {class: 'journal', id: 'journal'});
  const show = () => {
    const chosen = boxes.map((box, bit) => (box.checked ? bit : -1)).filter((bit) => bit >= 0);
    output.textContent = lines.filter((line) => !chosen.length || categories(line).some((bit) => chosen.includes(bit))).join('\n');
  };
  boxes.forEach((box) => box.addEventListener('change', show));
  page().replaceChildren(
    element('div', {class: 'card filters'}, ...boxes.map((box, i) => element('label', {}, box, names[i]))),
    element('div', {class: 'card'}, output));
  show();
}

// --- account and security ---

async function accountPage() {
  const info = await api('certinfo');
  const certificate = typeof info.certinfo === 'object'
    ? element('table', {}, ...Object.entries(info.certinfo).map(([k, v]) => element('tr', {}, element('th', {text: k}), element('td', {text: v}))))
    : element('p', {text: info.certinfo});
  const message = element('p', {id: 'chpass-result'});
  const password = element('form', {class: 'card', id: 'chpass'},
    element('h2', {text: 'Смена пароля'}),
    element('label', {}, 'Текущий пароль', element('input', {type: 'password', name: 'current', autocomplete: 'current-password'})),
    element('label', {}, 'Новый пароль', element('input', {type: 'password', name: 'fresh', autocomplete: 'new-password'})),
    message, element('button', {type: 'submit', text: 'Сменить пароль'}));
  password.addEventListener('submit', async (event) => {
    event.preventDefault();
    const result = await api('chpass', {current: password.current.value, new: password.fresh.value});
    message.className = result.error ? 'error' : 'ok';
    message.textContent = result.error || 'Пароль изменён';
  });
  const sections = [password, element('div', {class: 'card'}, element('h2', {text: 'Сертификат HTTPS'}), certificate)];
  if (permissions & 1) {
    const result = element('p', {});
    const upload = element('form', {class: 'card', id: 'certs'},
      element('h2', {text: 'Загрузить сертификат и ключ'}),
      element('label', {}, 'Сертификат (PEM)', element('input', {type: 'file', name: 'cert'})),
      element('label', {}, 'Ключ (PEM)', element('input', {type: 'file', name: 'key'})),
      result, element('button', {type: 'submit', text: 'Загрузить'}));
    upload.addEventListener('submit', async (event) => {
      event.preventDefault();
      const [cert, key] = [upload.cert.files[0], upload.key.files[0]];
      if (!cert || !key) { result.textContent = 'выберите оба файла'; return; }
      const answer = await api('certs', {sslcert: await cert.text(), sslkey: await key.text()});
      result.className = answer.error ? 'error' : 'ok';
      result.textContent = answer.error || 'Сертификат записан; он действует после перезапуска веб-сервера';
    });
    sections.push(upload);
  }
  page().replaceChildren(...sections);
}

const PAGES = {status: statusPage, settings: settingsPage, dyno: dynoPage, journal: journalPage, account: accountPage};

async function route() {
  clearInterval(timer);
  const name = (location.hash || '#status').slice(1);
  for (const link of document.querySelectorAll('nav a')) link.classList.toggle('active', link.dataset.page === name);
  try {
    // Who is logged in, and may they change things: setParameter without arguments answers "access denied".
    const probe = await api('setParameter', {});
    permissions = probe.error === 'access denied' ? 0 : 1;
    $('#login').hidden = true;
    $('#top').hidden = false;
    await (PAGES[name] || statusPage)();
  } catch (error) {
    // The login form is showing.
  }
}

$('#login').addEventListener('submit', login);
$('#logout').addEventListener('click', () => { forgetCookies(); showLogin(); });
window.addEventListener('hashchange', route);
route();
