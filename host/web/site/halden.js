// The Halden page: the front panel over the instrument board built for the
// web (halden-web.js). The firmware runs on this page's own thread, in
// slices of wall time between the browser's events; its settings live in
// IndexedDB. window.halden offers the same to scripts and tests.
'use strict';

(() => {
  const PANEL = window.HALDEN_PANEL;
  const LIGHT = [102, 255, 255];  // a 0 bit of the display, as on the desktop
  const DARK = [0, 0, 0];
  const EEPROM_SIZE = 32768;
  const SLICE_MS = 12;            // wall time the firmware gets per slice
  const MIN_PRESS_MS = 80;        // a click holds its key at least this long
  // The desktop's keyboard shortcuts.
  const SHORTCUTS = {
    r: 1, t: 5, Enter: 5, Escape: 4, ArrowUp: 2, ArrowDown: 3, ArrowLeft: 6, ArrowRight: 7,
    1: 8, 2: 9, 3: 10, 4: 11, s: 12,
  };
  const params = new URLSearchParams(location.search);
  const scenarioMode = params.has('scenario');

  const $ = (id) => document.getElementById(id);
  let M = null;           // the wasm module
  let zoom = Number($('zoom').value);
  const images = {};      // artwork by bitmap id
  const masks = {};       // shaped keys: alpha of their faces
  const keyShown = {};    // key code -> drawn pressed
  const pressStart = {};  // key code -> when it went down
  let lastRefresh = -1;
  let storeHeld = false;  // this page holds the stored settings
  let savedImage = null;  // the image last written to IndexedDB
  let stopped = false;

  // ---- Stored settings: IndexedDB and the lock between pages ----

  function openDb() {
    return new Promise((resolve, reject) => {
      const request = indexedDB.open('halden', 1);
      request.onupgradeneeded = () => request.result.createObjectStore('eeprom');
      request.onsuccess = () => resolve(request.result);
      request.onerror = () => reject(request.error);
    });
  }
  async function dbGet() {
    const db = await openDb();
    return new Promise((resolve, reject) => {
      const request = db.transaction('eeprom').objectStore('eeprom').get('eeprom.bin');
      request.onsuccess = () => resolve(request.result || null);
      request.onerror = () => reject(request.error);
    });
  }
  async function dbPut(bytes) {
    const db = await openDb();
    return new Promise((resolve, reject) => {
      const tx = db.transaction('eeprom', 'readwrite');
      tx.objectStore('eeprom').put(bytes, 'eeprom.bin');
      tx.oncomplete = () => resolve();
      tx.onerror = () => reject(tx.error);
    });
  }
  // One page at a time writes the settings, as one simulator at a time
  // writes an image file; a second page runs on a copy that is not saved.
  function takeStoreLock() {
    if (!navigator.locks)
      return Promise.resolve(true);
    return new Promise((resolve) => {
      navigator.locks.request('halden-eeprom', { ifAvailable: true }, (lock) => {
        resolve(lock !== null);
        return lock ? new Promise(() => {}) : undefined;  // held for the page's life
      });
    });
  }
  function eepromBytes() {
    const p = M._web_eeprom();
    return p ? M.HEAPU8.slice(p, p + EEPROM_SIZE) : null;
  }
  function sameBytes(a, b) {
    if (!a || !b || a.length !== b.length)
      return false;
    for (let i = 0; i < a.length; i++)
      if (a[i] !== b[i])
        return false;
    return true;
  }
  // Saves run one after another, and an image counts as saved once its
  // write has completed: a save asked for while another is under way waits
  // for it, so that a page reloaded after saveNow() finds what it saved.
  let pendingSave = Promise.resolve();
  function saveStore() {
    pendingSave = pendingSave.then(async () => {
      if (!storeHeld || stopped)
        return;
      const bytes = eepromBytes();
      if (bytes && !sameBytes(bytes, savedImage)) {
        await dbPut(bytes);
        savedImage = bytes;
      }
    }).catch((error) => status(`The settings could not be saved in this browser: ${error}`));
    return pendingSave;
  }

  // ---- Drawing ----

  function loadImage(id) {
    return new Promise((resolve, reject) => {
      const image = new Image();
      image.onload = () => resolve(image);
      image.onerror = () => reject(new Error(`artwork/${id}.png is missing`));
      image.src = `artwork/${id}.png`;
    }).then((image) => { images[id] = image; });
  }
  // The shaped keys' corners (the transparent colour) show the panel.
  function shapeKey(id) {
    const image = images[id];
    const canvas = document.createElement('canvas');
    canvas.width = image.width;
    canvas.height = image.height;
    const g = canvas.getContext('2d');
    g.drawImage(image, 0, 0);
    const data = g.getImageData(0, 0, canvas.width, canvas.height);
    const [r, gr, b] = PANEL.transparent;
    const alpha = new Uint8Array(canvas.width * canvas.height);
    for (let i = 0; i < alpha.length; i++) {
      const p = data.data.subarray(4 * i, 4 * i + 4);
      if (p[0] === r && p[1] === gr && p[2] === b)
        p[3] = 0;
      alpha[i] = p[3];
    }
    g.putImageData(data, 0, 0);
    images[id] = canvas;
    masks[id] = alpha;
  }
  function layout() {
    const face = $('face');
    face.width = PANEL.width * zoom;
    face.height = PANEL.height * zoom;
    const lcd = $('lcd');
    lcd.width = 240 * zoom;
    lcd.height = 128 * zoom;
    lcd.style.left = `${(PANEL.lcdLeft - PANEL.origin) * zoom}px`;
    lcd.style.top = `${(PANEL.lcdTop - PANEL.origin) * zoom}px`;
    drawFace();
    lastRefresh = -1;
    drawLcd();
  }
  function drawFace() {
    const g = $('face').getContext('2d');
    g.imageSmoothingEnabled = false;
    g.setTransform(zoom, 0, 0, zoom, 0, 0);
    g.drawImage(images[PANEL.bitmap], 0, 0);
    for (const key of PANEL.keys) {
      const id = keyShown[key.code] ? key.down : key.up;
      g.drawImage(images[id], key.x - PANEL.origin, key.y - PANEL.origin);
    }
  }
  // The display dot for dot: every dot a square of zoom x zoom pixels.
  function drawLcd() {
    if (!M)
      return;
    const refresh = M._web_refresh_count();
    if (refresh === lastRefresh)
      return;
    lastRefresh = refresh;
    const screen = M.HEAPU8.subarray(M._web_screen(), M._web_screen() + 3840);
    const canvas = $('lcd');
    const g = canvas.getContext('2d');
    const image = g.createImageData(canvas.width, canvas.height);
    const px = image.data;
    const w = canvas.width;
    for (let y = 0; y < 128; y++)
      for (let x = 0; x < 240; x++) {
        const dark = screen[30 * y + (x >> 3)] & (0x80 >> (x & 7));
        const c = dark ? DARK : LIGHT;
        for (let dy = 0; dy < zoom; dy++) {
          let i = 4 * ((y * zoom + dy) * w + x * zoom);
          for (let dx = 0; dx < zoom; dx++, i += 4) {
            px[i] = c[0]; px[i + 1] = c[1]; px[i + 2] = c[2]; px[i + 3] = 255;
          }
        }
      }
    g.putImageData(image, 0, 0);
  }

  // Screen readers get the display's text.
  let describedRefresh = -1;
  function describeLcd() {
    if (lastRefresh === describedRefresh)
      return;
    describedRefresh = lastRefresh;
    $('lcd').setAttribute('aria-label', `Display: ${M.UTF8ToString(M._web_screen_text()).trim().replace(/\n/g, '; ')}`);
  }

  // ---- Keys ----

  function keyAt(event) {
    const rect = $('face').getBoundingClientRect();
    const x = (event.clientX - rect.left) / zoom + PANEL.origin;
    const y = (event.clientY - rect.top) / zoom + PANEL.origin;
    for (let k = PANEL.keys.length - 1; k >= 0; k--) {  // later keys lie above
      const key = PANEL.keys[k];
      const i = Math.floor(x - key.x);
      const j = Math.floor(y - key.y);
      if (i < 0 || j < 0 || i >= key.width || j >= key.height)
        continue;
      if (!key.shaped || masks[key.up][j * key.width + i] > 0)
        return key.code;
    }
    return 0;
  }
  function press(code) {
    if (!M || keyShown[code])
      return;
    keyShown[code] = true;
    pressStart[code] = performance.now();
    M._web_set_key(code, 1);
    drawFace();
    runNow();  // the firmware sees the key at once
  }
  function release(code) {
    if (!keyShown[code])
      return;
    const held = performance.now() - pressStart[code];
    if (held < MIN_PRESS_MS) {
      setTimeout(() => release(code), MIN_PRESS_MS - held);
      return;
    }
    keyShown[code] = false;
    M._web_set_key(code, 0);
    drawFace();
    runNow();
  }
  let pointerKey = 0;
  function setUpKeys() {
    const face = $('face');
    face.addEventListener('pointerdown', (event) => {
      const code = keyAt(event);
      if (!code)
        return;
      event.preventDefault();
      face.setPointerCapture(event.pointerId);
      pointerKey = code;
      press(code);
    });
    const up = () => {
      if (pointerKey)
        release(pointerKey);
      pointerKey = 0;
    };
    face.addEventListener('pointerup', up);
    face.addEventListener('pointercancel', up);
    face.addEventListener('pointermove', (event) => {
      face.style.cursor = keyAt(event) ? 'pointer' : 'default';
    });
    // Fields keep what is typed into them; a focused button keeps Enter and space.
    const typing = (event) => {
      const t = event.target;
      if (t instanceof HTMLButtonElement)
        return event.key === 'Enter' || event.key === ' ';
      return t instanceof HTMLInputElement || t instanceof HTMLSelectElement || t instanceof HTMLTextAreaElement;
    };
    const shortcut = (event) => {
      if (event.ctrlKey || event.altKey || event.metaKey || typing(event))
        return 0;
      return SHORTCUTS[event.key.length === 1 ? event.key.toLowerCase() : event.key] || 0;
    };
    document.addEventListener('keydown', (event) => {
      const code = shortcut(event);
      if (!code)
        return;
      event.preventDefault();
      if (!event.repeat)
        press(code);
    });
    document.addEventListener('keyup', (event) => {
      const code = shortcut(event);
      if (code)
        release(code);
    });
    for (const key of PANEL.keys) {
      const hint = Object.keys(SHORTCUTS).filter((k) => SHORTCUTS[k] === key.code);
      key.title = `${key.label} (${hint.join(' or ')})`;
    }
    face.addEventListener('mousemove', (event) => {
      const code = keyAt(event);
      const key = PANEL.keys.find((k) => k.code === code);
      face.title = key ? key.title : '';
    });
  }

  // ---- The run loop: slices of firmware between the browser's events ----

  let timer = 0;
  const channel = new MessageChannel();
  channel.port1.onmessage = () => step();
  let posted = false;
  function schedule(ms) {
    clearTimeout(timer);
    timer = 0;
    if (ms <= 0) {
      if (!posted) {
        posted = true;
        channel.port2.postMessage(0);
      }
    } else {
      timer = setTimeout(step, Math.min(ms, 50));
    }
  }
  function step() {
    posted = false;
    if (stopped || !M)
      return;
    M._web_run_for(SLICE_MS);
    const next = M._web_next_work_ms();
    if (next < 0) {
      status('The instrument has stopped.');
      return;
    }
    schedule(next);
  }
  function runNow() {
    if (stopped || !M)
      return;
    M._web_run_for(2);
    schedule(M._web_next_work_ms());
  }

  // ---- Serial port ----

  const terminal = { line: null, dir: -1, text: '', bytes: [] };
  function showByte(span, b) {
    const names = { 13: '\\r', 10: '\\n', 9: '\\t' };
    if (b >= 0x20 && b < 0x7f && b !== 0x5c) {
      span.append(String.fromCharCode(b));
      return;
    }
    const ctl = document.createElement('span');
    ctl.className = 'ctl';
    ctl.textContent = b === 0x5c ? '\\\\' : names[b] || `\\x${b.toString(16).padStart(2, '0')}`;
    span.append(ctl);
  }
  function pollSerial() {
    const n = M._web_serial_take();
    if (!n)
      return;
    const p = M._web_serial_events();
    const events = M.HEAPU8.slice(p, p + 2 * n);
    const out = $('terminal');
    const atEnd = out.scrollTop + out.clientHeight >= out.scrollHeight - 4;
    for (let i = 0; i < events.length; i += 2) {
      const dir = events[i];
      const b = events[i + 1];
      terminal.bytes.push(dir, b);
      // A line ends where the direction changes and after every LF.
      if (!terminal.line || dir !== terminal.dir) {
        terminal.line = document.createElement('div');
        terminal.line.className = dir ? 'from' : 'to';
        terminal.line.append(dir ? '<- ' : '-> ');
        terminal.dir = dir;
        out.append(terminal.line);
      }
      showByte(terminal.line, b);
      if (b === 10)
        terminal.line = null;
    }
    while (out.childElementCount > 2000)
      out.firstElementChild.remove();
    if (atEnd)
      out.scrollTop = out.scrollHeight;
  }

  // ---- Printer and chart recorder ----

  let paperRows = 0;
  function pollPrinter() {
    const height = M._web_printer_height();
    if (height === paperRows)
      return;
    paperRows = height;
    const canvas = $('paper');
    const margin = 16;
    canvas.width = 256 + 2 * margin;
    canvas.height = Math.max(1, height + 2 * margin);
    const g = canvas.getContext('2d');
    const image = g.createImageData(canvas.width, canvas.height);
    const px = image.data;
    for (let i = 0; i < px.length; i += 4) {
      px[i] = 250; px[i + 1] = 250; px[i + 2] = 242; px[i + 3] = 255;
    }
    if (height > 0) {
      const rows = M.HEAPU8.subarray(M._web_printer_rows(), M._web_printer_rows() + 32 * height);
      for (let y = 0; y < height; y++)
        for (let x = 0; x < 256; x++)
          if (rows[32 * y + (x >> 3)] & (0x80 >> (x & 7))) {
            const i = 4 * ((y + margin) * canvas.width + x + margin);
            px[i] = 28; px[i + 1] = 28; px[i + 2] = 48;
          }
    }
    g.putImageData(image, 0, 0);
    const box = canvas.parentElement;
    box.scrollTop = box.scrollHeight;
  }
  const CHART_SPAN_MS = 10 * 60 * 1000;  // the paper shows the last ten minutes
  function drawChart() {
    const n = M._web_chart_points();
    const canvas = $('chart');
    const g = canvas.getContext('2d');
    const w = canvas.width;
    const h = canvas.height;
    g.clearRect(0, 0, w, h);
    g.strokeStyle = '#d9d2bd';
    g.fillStyle = '#8a8470';
    g.font = '10px sans-serif';
    for (let a = -1; a <= 4; a++) {  // A = 4 at the top, -1 at the bottom
      const y = h - ((a + 1) / 5) * h;
      g.beginPath(); g.moveTo(0, y); g.lineTo(w, y); g.stroke();
      g.fillText(`A ${a}`, 2, Math.min(h - 2, Math.max(10, y - 2)));
    }
    if (!n)
      return;
    const data = M.HEAPF64.subarray(M._web_chart_data() / 8, M._web_chart_data() / 8 + 2 * n);
    const end = M._web_chart_ms();
    const start = Math.max(0, end - CHART_SPAN_MS);
    g.strokeStyle = '#b01818';
    g.lineWidth = 1.5;
    g.beginPath();
    let begun = false;
    for (let i = 0; i < n; i++) {
      let t = data[2 * i];
      const a = data[2 * i + 1];
      if (i + 1 < n && data[2 * i + 2] < start)
        continue;
      t = Math.max(t, start);
      const x = ((t - start) / CHART_SPAN_MS) * w;
      const y = h - ((a + 1) / 5) * h;
      if (begun) g.lineTo(x, y); else g.moveTo(x, y);
      begun = true;
    }
    g.stroke();
  }

  // ---- Side panes ----

  function status(text) { $('status').textContent = text; }
  function showStore() {
    const message = M ? M.UTF8ToString(M._web_store_status()) : '';
    let text;
    if (scenarioMode)
      text = 'A scenario run: the stored settings are not used.';
    else if (!storeHeld)
      text = 'The stored settings are in use by another page of the simulator: changes here are not saved.';
    else
      text = message || 'Settings are saved in this browser.';
    $('store').textContent = text;
  }
  function download(name, bytes, type) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], { type }));
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  }
  function refuse(text) {
    const store = $('store');
    store.textContent = text;
    store.className = 'refused';
  }
  // A loaded image passes the hosts' checks, then replaces the stored
  // settings and the instrument starts again with it.
  async function loadStoreImage(file) {
    const bytes = new Uint8Array(await file.arrayBuffer());
    // Checked in a folder of its own, beside the instrument's /eeprom.bin.
    if (!M.FS.analyzePath('/upload').exists)
      M.FS.mkdir('/upload');
    const name = `/upload/${file.name.replace(/[^A-Za-z0-9._-]/g, '_') || 'image.bin'}`;
    M.FS.writeFile(name, bytes);
    const message = M.ccall('web_check_image', 'string', ['string'], [name]);
    M.FS.unlink(name);
    if (message) {
      refuse(`Not loaded: ${message.replace(name, file.name)}.`);
      return false;
    }
    if (!storeHeld) {
      refuse(`Not loaded: the stored settings are in use by another page of the simulator.`);
      return false;
    }
    stopped = true;
    await dbPut(bytes);
    location.reload();
    return true;
  }
  function cellText() {
    return `In the cell: ${M.UTF8ToString(M._web_sample_label()) || 'the recorded sample'}`;
  }
  function setUpPanes() {
    // A choice made, the keyboard goes back to the panel's shortcuts.
    $('speed').addEventListener('change', () => {
      if (M) M._web_set_speed(Number($('speed').value));
      $('speed').blur();
      runNow();
    });
    $('zoom').addEventListener('change', () => {
      zoom = Number($('zoom').value);
      $('zoom').blur();
      layout();
    });
    $('send').addEventListener('submit', (event) => {
      event.preventDefault();
      const text = $('sendText').value + ($('sendEol').checked ? '\\r\\n' : '');
      M.ccall('web_send', 'number', ['string'], [text]);
      $('sendText').value = '';
      runNow();
    });
    const names = M.UTF8ToString(M._web_sample_names()).split('\n').filter((s) => s);
    for (const name of names) {
      const option = document.createElement('option');
      option.value = option.textContent = name;
      $('sampleName').append(option);
    }
    $('sample').addEventListener('submit', (event) => {
      event.preventDefault();
      const conc = $('sampleConc').value === '' ? -1 : Number($('sampleConc').value);
      const error = M.ccall('web_put_sample', 'string', ['string', 'number'], [$('sampleName').value, conc]);
      $('sampleNow').textContent = error || cellText();
      $('sampleNow').className = error ? 'refused' : '';
    });
    $('sampleNow').textContent = cellText();
    $('heater').checked = M._web_heater_fitted() !== 0;
    $('heater').addEventListener('change', () => {
      M._web_fit_heater($('heater').checked ? 1 : 0);
      $('heater').blur();
      runNow();
    });
    $('tearOff').addEventListener('click', () => { M._web_printer_clear(); paperRows = -1; pollPrinter(); });
    $('paperText').addEventListener('click', () => {
      download('printout.txt', M.UTF8ToString(M._web_printer_text()), 'text/plain');
    });
    $('chartClear').addEventListener('click', () => { M._web_chart_clear(); drawChart(); });
    $('download').addEventListener('click', () => download('eeprom.bin', eepromBytes(), 'application/octet-stream'));
    $('upload').addEventListener('change', (event) => {
      if (event.target.files.length)
        loadStoreImage(event.target.files[0]);
      event.target.value = '';
    });
  }

  // ---- Start ----

  function frame() {
    if (M) {
      drawLcd();
      pollSerial();
    }
    requestAnimationFrame(frame);
  }
  async function start() {
    const ids = [PANEL.bitmap, 'icon'];
    for (const key of PANEL.keys)
      ids.push(key.up, key.down);
    await Promise.all(ids.map(loadImage));
    for (const key of PANEL.keys)
      if (key.shaped) {
        shapeKey(key.up);
        shapeKey(key.down);
      }
    M = await HaldenModule();
    let image = null;
    if (!scenarioMode) {
      storeHeld = await takeStoreLock();
      image = await dbGet();
    }
    if (image && image.length === EEPROM_SIZE) {
      M.FS.writeFile('/eeprom.bin', image);
      savedImage = image;
    } else {
      M.FS.writeFile('/eeprom.bin', new Uint8Array(0));  // the board initialises an empty file
    }
    if (!storeHeld && !scenarioMode)
      M.FS.chmod('/eeprom.bin', 0o444);
    layout();
    setUpKeys();
    setUpPanes();
    requestAnimationFrame(frame);
    if (!scenarioMode) {
      if (M._web_power_up(Number($('speed').value)) !== 0) {
        refuse(M.UTF8ToString(M._web_store_status()));
        return;
      }
      showStore();
      step();
      setInterval(() => { saveStore(); pollPrinter(); drawChart(); }, 500);
      setInterval(describeLcd, 1000);
      setInterval(() => {
        const percent = M._web_achieved_speed();
        // A percentage near real time; a multiple when it runs far faster.
        const pace = percent < 200 ? `${percent.toFixed(0)}% of real time`
                                   : `${Math.round(percent / 100).toLocaleString('en')} \u00d7 real time`;
        if (percent >= 0)
          status(`${(M._web_firmware_ms() / 1000).toFixed(0)} s of instrument time, ${pace}`);
      }, 1000);
      addEventListener('pagehide', saveStore);
      document.addEventListener('visibilitychange', saveStore);
    } else {
      showStore();
    }
  }

  // For scripts and tests.
  window.halden = {
    ready: null,
    // Display memory 640..5759 as hex; the shown screen is its first 3840 bytes.
    displayMemory: () => M.UTF8ToString(M._web_display_memory_hex()),
    serialBytes: () => { pollSerial(); return terminal.bytes.slice(); },
    firmwareMs: () => M._web_firmware_ms(),
    keyDown: (code) => M._web_key_down(code) === 1,
    screenText: () => M.UTF8ToString(M._web_screen_text()),
    screenState: () => M._web_screen_state(),
    screenStateName: () => M.UTF8ToString(M._web_screen_state_name()),
    // A point on the face of a key, in the page's coordinates.
    keyPoint(code) {
      const key = PANEL.keys.find((k) => k.code === code);
      const rect = $('face').getBoundingClientRect();
      for (let j = Math.floor(key.height / 2), d = 0; d < key.height; d++)
        for (const jj of [j - d, j + d])
          for (let i = 0; i < key.width; i++) {
            if (jj < 0 || jj >= key.height || (key.shaped && !masks[key.up][jj * key.width + i]))
              continue;
            const x = rect.left + (key.x - PANEL.origin + i + 0.5) * zoom;
            const y = rect.top + (key.y - PANEL.origin + jj + 0.5) * zoom;
            if (keyAt({ clientX: x, clientY: y }) === code)
              return { x, y };
          }
      return null;
    },
    saveNow: saveStore,
    eepromBytes,
    // A scenario on a fresh instrument, in a page opened with ?scenario.
    runScenario(text) {
      M.ccall('web_run_scenario', null, ['string'], [text]);
      lastRefresh = -1;
      drawLcd();
      pollSerial();
      pollPrinter();
      return { status: M._web_scenario_status(), output: M.UTF8ToString(M._web_scenario_output()) };
    },
    sendText: (text) => { const n = M.ccall('web_send', 'number', ['string'], [text]); runNow(); return n; },
    loadImageFile: loadStoreImage,
  };
  window.halden.ready = start().then(() => true, (error) => {
    status(`The page could not start: ${error.message || error}`);
    throw error;
  });
})();
