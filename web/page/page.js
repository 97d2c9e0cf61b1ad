// The page: the dialog's drop area, options and log; the editor with its compile-as-you-type,
// playback and piano roll. Everything runs on window.quavrex (the same compiler, reader and
// renderer as the programs); nothing leaves the page but the downloads the user asks for.

import {startOfCursorLine} from './cursor_time.js';
import {Editor} from './editor.js';
import {Player} from './player.js';
import {partColour, PianoRoll} from './roll.js';
import {decodeScore, encodeScore} from './text.js';
import {makeZip} from './zip.js';

const kCompileDelayMs = 100;
const kExampleName = 'overture.mml';
const kStore = {
  options: 'quavrex.options',
  score: 'quavrex.score',
  name: 'quavrex.scoreName'
};
const kCache = 'quavrex-page';
// Wave files are ADPCM of a few kilobytes a second: a larger file is no wave of a ring tone.
const kMaxWaveBytes = 4 << 20;
const kMaxKeptWaveBytes = 16 << 20;

const $ = (id) => document.getElementById(id);

// ---- Options, kept in localStorage ----------------------------------------------------------

// The dialog's first-start options: MA1, no octave check, no voice setup, EzGet trailer on.
const kDefaultOptions = {
  format: 'ma1',
  octaveCheck: false,
  voiceSetup: false,
  ezget: true
};

function loadStored(key, fallback) {
  try {
    const value = localStorage.getItem(key);
    return value === null ? fallback : value;
  } catch {
    return fallback;  // storage switched off: the page still works, it only forgets
  }
}

function store(key, value) {
  try {
    localStorage.setItem(key, value);
  } catch {
    // Full or switched off: keeping the score is a convenience, never a reason to fail.
  }
}

function readOptions() {
  return {
    format: $('format-ma2').checked ? 'ma2' : 'ma1',
    octaveCheck: $('octave-check').checked,
    voiceSetup: $('voice-setup').checked,
    ezget: $('ezget').checked,
  };
}

function showOptions(options) {
  $('format-ma1').checked = options.format !== 'ma2';
  $('format-ma2').checked = options.format === 'ma2';
  $('octave-check').checked = options.octaveCheck;
  $('voice-setup').checked = options.voiceSetup;
  $('ezget').checked = options.ezget;
  // The octave check and the voice definitions apply to MA1 only, as in the dialog.
  $('octave-check').disabled = $('voice-setup').disabled = options.format === 'ma2';
}

function setUpOptions(onChange) {
  let options = kDefaultOptions;
  try {
    options = {...kDefaultOptions, ...JSON.parse(loadStored(kStore.options, '{}'))};
  } catch {
    // A damaged entry: start from the defaults.
  }
  showOptions(options);
  $('options').addEventListener('change', () => {
    const now = readOptions();
    showOptions(now);
    store(kStore.options, JSON.stringify(now));
    onChange();
  });
}

// ---- Downloads ------------------------------------------------------------------------------

function downloadLink(text, name, bytes, type = 'application/octet-stream') {
  const a = document.createElement('a');
  a.className = 'button';
  a.textContent = text;
  a.download = name;
  a.href = URL.createObjectURL(new Blob([bytes], {type}));
  return a;
}

function mmfName(name) {
  const dot = name.lastIndexOf('.');
  return (dot === -1 ? name : name.slice(0, dot)) + '.MMF';
}

function withExtension(name, extension) {
  const dot = name.lastIndexOf('.');
  return (dot === -1 ? name : name.slice(0, dot)) + extension;
}

function button(text, onClick) {
  const b = document.createElement('button');
  b.type = 'button';
  b.textContent = text;
  b.addEventListener('click', onClick);
  return b;
}

// ---- The log --------------------------------------------------------------------------------

// Puts a line at the top of the log (newest first) and returns its item for the actions.
function logLine(text, failed = false, title = '') {
  const item = document.createElement('li');
  item.classList.toggle('failed', failed);
  const line = document.createElement('div');
  line.className = 'line';
  line.textContent = text.replace(/\r?\n$/, '');
  if (title) {
    line.title = title;
  }
  item.append(line);
  $('log').prepend(item);
  return item;
}

function actions(item, ...elements) {
  const row = document.createElement('div');
  row.className = 'actions';
  row.append(...elements);
  item.append(row);
}

function diagnosticPlace(result) {
  const d = result.diagnostics?.[0];
  return d ? `${d.line}行${d.column}桁: ${d.message}` : '';
}

// ---- The page -------------------------------------------------------------------------------

class Page {
  constructor(api) {
    this.api = api;
    this.player = new Player();
    this.editor = new Editor($('score'), $('gutter'), $('marks'));
    this.roll = new PianoRoll($('roll-scroller'), $('roll'), $('roll-spacer'));
    this.scoreName = kExampleName;
    this.compileTimer = 0;
    this.pending = false;                // an edit or option change waits for its compile
    this.compiling = Promise.resolve();  // the editor's latest compile
    this.generation = 0;
    this.good = null;  // {mmf, notes, duration} of the last score that compiled
    this.muted = new Set();
    this.solo = new Set();
    this.waves = new Map();  // wave files dropped, by name, for the scores that play them
    this.playingMmf = null;  // the .MMF the transport plays (the editor's or one from the log)
    this.player.onEnded = () => this.showPosition();
  }

  async start() {
    setUpOptions(() => this.compileSoon(0));
    $('version').textContent = this.api.version ?? '';
    this.setUpDrop();
    this.setUpEditor();
    this.setUpTransport();
    const saved = loadStored(kStore.score, null);
    if (saved !== null) {
      this.openText(saved, loadStored(kStore.name, kExampleName));
    } else {
      const bytes = new Uint8Array(await (await fetch(kExampleName)).arrayBuffer());
      this.openText(decodeScore(bytes).text, kExampleName);
    }
    await this.compileNow();
    $('status').textContent = '準備ができました。';
    document.body.dataset.ready = '1';
    document.body.dataset.readyMs = performance.now().toFixed(0);  // for measuring the page
    keepForOffline();
  }

  options(name) {
    return {
      name,
      ...readOptions(),
      encoding: 'auto',
      waves: Object.fromEntries(this.waves),
    };
  }

  // -- The dialog's job: dropped files, compiled in order --

  setUpDrop() {
    const area = $('drop-area');
    const input = $('drop-input');
    area.addEventListener('dragover', (e) => {
      e.preventDefault();
      e.dataTransfer.dropEffect = 'copy';
      area.classList.add('over');
    });
    area.addEventListener('dragleave', () => area.classList.remove('over'));
    area.addEventListener('drop', (e) => {
      e.preventDefault();
      area.classList.remove('over');
      this.queueFiles([...e.dataTransfer.files]);
    });
    area.addEventListener('click', () => input.click());
    area.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === ' ') {
        e.preventDefault();
        input.click();
      }
    });
    input.addEventListener('change', () => {
      this.queueFiles([...input.files]);
      input.value = '';
    });
    // A file dropped elsewhere on the page must not make the browser leave it.
    window.addEventListener('dragover', (e) => e.preventDefault());
    window.addEventListener('drop', (e) => e.preventDefault());
  }

  // Files dropped while others are still being compiled wait for them, so that the log keeps
  // the order of the drops.
  queueFiles(files) {
    this.dropped = (this.dropped ?? Promise.resolve()).then(() => this.handleFiles(files));
  }

  async handleFiles(files) {
    const kind = (name) => (name.match(/\.(mml|mus|mmf|mid|midi)$/i)?.[1] ?? '').toLowerCase();
    // Other files are read only when they may be the waves a score plays; the compile needs
    // nothing but their names to log them as not processed.
    const read = await Promise.all(files.map(async (f) => {
      const wanted = kind(f.name) !== '' || f.size <= kMaxWaveBytes;
      return {
        name: f.name,
        bytes: wanted ? new Uint8Array(await f.arrayBuffer()) : new Uint8Array()
      };
    }));
    // The waves are kept first, so that a score dropped before its wave still finds it.
    for (const f of read) {
      if (kind(f.name) === '' && f.bytes.length > 0) {
        this.keepWave(f.name, f.bytes);
      }
    }
    const compiled = [];
    for (const f of read) {
      try {
        switch (kind(f.name)) {
          case 'mmf':
            await this.showMmf(f);
            break;
          case 'mid':
          case 'midi':
            await this.openMidi(f);
            break;
          default: {
            const mmf = await this.compileDropped(f);
            if (mmf) {
              compiled.push({name: mmfName(f.name), bytes: mmf});
            }
          }
        }
      } catch (error) {
        // Not a message of the compiler: the page itself failed on this file. The next file
        // still gets its turn.
        logLine(`${f.name}: ${error.message ?? error}`, true);
        console.warn(error);
      }
    }
    const bar = $('zip-bar');
    bar.replaceChildren();
    if (compiled.length > 1) {
      bar.append(downloadLink(
          `${compiled.length} 個の MMF をまとめて保存 (.zip)`, 'quavrex-mmf.zip', makeZip(compiled),
          'application/zip'));
    }
  }

  // Keeps a wave file for the scores compiled after it, within kMaxKeptWaveBytes: the oldest
  // go first. Every compile hands the kept waves over, so they are kept few and small.
  keepWave(name, bytes) {
    this.waves.delete(name);
    this.waves.set(name, bytes);
    let total = [...this.waves.values()].reduce((sum, b) => sum + b.length, 0);
    for (const [oldName, oldBytes] of this.waves) {
      if (total <= kMaxKeptWaveBytes) {
        break;
      }
      this.waves.delete(oldName);
      total -= oldBytes.length;
    }
  }

  async compileDropped(file) {
    const result = await this.api.compile(file.bytes, this.options(file.name));
    const item = logLine(result.log, !result.mmf, diagnosticPlace(result));
    if (result.rangeReport) {
      const pre = document.createElement('pre');
      pre.textContent = result.rangeReport;
      item.append(pre);
    }
    if (result.mmf) {
      actions(
          item, downloadLink('ダウンロード', mmfName(file.name), result.mmf),
          ...this.mmfActions(mmfName(file.name), result.mmf));
    }
    return result.mmf;
  }

  mmfActions(name, mmf) {
    return [
      button('再生', () => this.playMmf(mmf)),
      button('停止', () => this.stop()),
      button(
          'MIDIで保存',
          async (e) => {
            e.target.replaceWith(
                downloadLink('MIDIで保存', withExtension(name, '.mid'), await this.api.midi(mmf)));
          }),
      button(
          'WAVで保存',
          async (e) => {
            e.target.disabled = true;
            e.target.replaceWith(downloadLink(
                'WAVで保存', withExtension(name, '.wav'), await this.api.wav(mmf, 44100),
                'audio/wav'));
          }),
    ];
  }

  // A dropped .MMF: its listing, and play, .mid and .wav.
  async showMmf(file) {
    const listing = await this.api.dump(file.bytes);
    const item = logLine(file.name);
    const details = document.createElement('details');
    details.open = true;
    const summary = document.createElement('summary');
    summary.textContent = '一覧';
    const pre = document.createElement('pre');
    pre.textContent = listing;
    details.append(summary, pre);
    item.append(details);
    actions(item, ...this.mmfActions(file.name, file.bytes));
  }

  // A dropped .mid: its converted score opens in the editor.
  async openMidi(file) {
    const scoreName = withExtension(file.name, '.mml');
    const result = await this.api.page.midiToScore(file.bytes, scoreName);
    logLine(result.log, !result.score);
    if (result.score) {
      this.openText(decodeScore(result.score).text, scoreName);
      await this.compileNow();
    }
  }

  // -- The editor --

  setUpEditor() {
    $('score').addEventListener('input', () => {
      store(kStore.score, this.editor.text);
      this.compileSoon(kCompileDelayMs);
    });
    $('score').addEventListener('keydown', (e) => {
      if (e.key === 'Enter' && (e.ctrlKey || e.metaKey)) {
        e.preventDefault();
        this.playFromCursor();
      }
    });
    // A score opened with the wave files it plays: the waves are kept as dropped ones are.
    $('open-input').addEventListener('change', async (e) => {
      const files = [...e.target.files];
      e.target.value = '';
      const isScore = (f) => /\.(mml|mus|midi?)$/i.test(f.name);
      for (const wave of files.filter((f) => !isScore(f) && f.size <= kMaxWaveBytes)) {
        this.keepWave(wave.name, new Uint8Array(await wave.arrayBuffer()));
      }
      const file = files.find(isScore);
      if (!file) {
        await this.compileNow();
        return;
      }
      const bytes = new Uint8Array(await file.arrayBuffer());
      if (/\.midi?$/i.test(file.name)) {
        await this.openMidi({name: file.name, bytes});
      } else {
        this.openText(decodeScore(bytes).text, file.name);
        await this.compileNow();
      }
    });
  }

  openText(text, name) {
    this.scoreName = name;
    $('score-name').textContent = name;
    this.editor.text = text;
    store(kStore.score, text);
    store(kStore.name, name);
  }

  compileSoon(delay) {
    clearTimeout(this.compileTimer);
    this.pending = true;
    this.compileTimer = setTimeout(() => this.compileNow(), delay);
  }

  // Compiles at once when an edit or an option waits for its compile, so that playing right
  // after a change plays what the editor shows.
  async flush() {
    if (this.pending) {
      this.compileNow();
    }
    for (let running = null; running !== this.compiling;) {
      running = this.compiling;
      await running.catch(() => {});
    }
  }

  compileNow() {
    clearTimeout(this.compileTimer);
    this.pending = false;
    this.compiling = this.compileEditor();
    return this.compiling;
  }

  async compileEditor() {
    const generation = ++this.generation;
    const options = {...this.options(this.scoreName), encoding: 'utf-8'};
    const began = performance.now();
    const result = await this.api.compile(encodeScore(this.editor.text), options);
    document.body.dataset.compileMs = (performance.now() - began).toFixed(2);
    if (generation !== this.generation) {
      return;  // a newer edit is being compiled
    }
    const log = $('editor-log');
    log.textContent = result.log.replace(/\r?\n$/, '');
    log.classList.toggle('failed', !result.mmf);
    const d = result.diagnostics?.[0];
    this.editor.setMark(d ? {line: d.line, column: d.column} : null);
    if (d) {
      log.append(button(`${d.line}行${d.column}桁へ移動`, () => this.editor.goToMark()));
    }
    const link = $('editor-mmf');
    if (result.mmf) {
      if (link.href) {
        URL.revokeObjectURL(link.href);
      }
      link.href = URL.createObjectURL(new Blob([result.mmf]));
      link.download = mmfName(this.scoreName);
      link.setAttribute('aria-disabled', 'false');
      const notes = await this.api.page.notes(result.mmf);
      const duration = await this.api.page.durationSec(result.mmf);
      const audio = JSON.parse(await this.api.json(result.mmf)).audio?.waves?.length > 0;
      if (generation !== this.generation) {
        return;
      }
      // Parts as the listing numbers the channels, and "A" for the audio track's waves.
      const parts = [...new Set(notes.map((n) => n.part))].sort((a, b) => a - b);
      if (audio) {
        parts.push('A');
      }
      this.good = {mmf: result.mmf, notes, duration, parts};
      this.showParts(parts);
      this.roll.show(notes, duration);
      this.showPosition();
    } else {
      link.removeAttribute('href');
      link.setAttribute('aria-disabled', 'true');
    }
    document.body.dataset.compiled = String(generation);
  }

  // -- Parts: mute and solo --

  showParts(parts) {
    const box = $('parts');
    const shown = [...box.querySelectorAll('.part')].map((p) => p.dataset.part).join(',');
    if (shown === parts.join(',')) {
      return;
    }
    box.replaceChildren();
    for (const part of parts) {
      const span = document.createElement('span');
      span.className = 'part';
      span.dataset.part = String(part);
      const swatch = document.createElement('span');
      swatch.className = 'swatch';
      swatch.style.background = partColour(part);
      const label = document.createElement('span');
      label.textContent = `パート${part}`;
      const mute = button('M', () => this.toggle(this.muted, part, mute));
      mute.setAttribute('aria-label', `パート${part} ミュート`);
      mute.setAttribute('aria-pressed', String(this.muted.has(part)));
      mute.className = 'mute';
      const solo = button('S', () => this.toggle(this.solo, part, solo));
      solo.setAttribute('aria-label', `パート${part} ソロ`);
      solo.setAttribute('aria-pressed', String(this.solo.has(part)));
      solo.className = 'solo';
      span.append(swatch, label, mute, solo);
      box.append(span);
    }
  }

  toggle(set, part, control) {
    if (set.has(part)) {
      set.delete(part);
    } else {
      set.add(part);
    }
    control.setAttribute('aria-pressed', String(set.has(part)));
    const silent = this.silentParts();
    this.roll.hidden = new Set(silent);
    this.roll.draw();
    // Playing on with the new mix from where it is.
    if (this.player.playing && this.playingMmf === this.good?.mmf) {
      this.playMmf(this.good.mmf, this.player.position());
    }
  }

  // The parts not heard: the muted ones, and with any solo on, every part not soloed.
  silentParts() {
    const parts = this.good?.parts ?? [];
    return parts.filter((p) => this.muted.has(p) || (this.solo.size > 0 && !this.solo.has(p)));
  }

  // -- Playback --

  setUpTransport() {
    $('play').addEventListener('click', async () => {
      this.player.ensureContext();  // while the click still counts as the user's
      await this.flush();
      if (this.good) {
        await this.playMmf(this.good.mmf, 0);
      }
    });
    $('stop').addEventListener('click', () => this.stop());
    document.addEventListener('keydown', (e) => {
      if (e.key === 'Escape' && this.player.playing) {
        this.stop();
      }
    });
    $('play-cursor').addEventListener('click', () => this.playFromCursor());
    $('roll').addEventListener('click', (e) => {
      if (this.good) {
        this.playMmf(this.good.mmf, this.roll.timeAt(e.clientX));
      }
    });
    $('roll-scroller').addEventListener('keydown', (e) => {
      if ((e.key === 'Enter' || e.key === ' ') && this.good) {
        e.preventDefault();
        this.playMmf(this.good.mmf, 0);
      }
    });
  }

  async playMmf(mmf, fromSec = 0) {
    const own = mmf === this.good?.mmf;
    this.playingMmf = mmf;
    try {
      await this.player.play(mmf, fromSec, own ? this.silentParts().map(String) : []);
    } catch (error) {
      $('status').textContent = `再生できません: ${error.message ?? error}`;
      return;
    }
    this.tick();
  }

  stop() {
    this.player.stop();
    this.showPosition();
  }

  async playFromCursor() {
    this.player.ensureContext();
    await this.flush();
    if (!this.good) {
      return;
    }
    const good = this.good;
    const compileNotes = async (text) => {
      const options = {...this.options(this.scoreName), encoding: 'utf-8'};
      const result = await this.api.compile(encodeScore(text), options);
      return result.mmf ? this.api.page.notes(result.mmf) : null;
    };
    const from =
        await startOfCursorLine(this.editor.text, this.editor.cursor, good.notes, compileNotes);
    this.cursorStart = from;
    await this.playMmf(good.mmf, from);
  }

  tick() {
    this.showPosition();
    if (this.player.playing) {
      requestAnimationFrame(() => this.tick());
    }
  }

  showPosition() {
    const at = this.player.position();
    const own = this.playingMmf === this.good?.mmf;
    const total = own || at === null ? this.good?.duration ?? 0 : this.player.buffer.duration;
    $('position').textContent = `${clock(at ?? 0)} / ${clock(total)}`;
    this.roll.follow(own ? at : null);
  }
}

function clock(seconds) {
  const m = Math.floor(seconds / 60);
  const s = seconds - m * 60;
  return `${m}:${s.toFixed(1).padStart(4, '0')}`;
}

// ---- Working offline ------------------------------------------------------------------------

// Registers the service worker and puts every file this page loaded into its cache, so that
// the next visit works without the server. (The first visit's requests happened before the
// worker was there to see them.)
async function keepForOffline() {
  if (!('serviceWorker' in navigator) || !window.caches) {
    return;
  }
  try {
    await navigator.serviceWorker.register('sw.js');
    const here = new URL('.', location.href);
    const urls = performance.getEntriesByType('resource')
                     .map((e) => e.name)
                     .filter((u) => u.startsWith(here.href));
    const cache = await caches.open(kCache);
    // One by one: a file that fails leaves the others cached.
    await Promise.allSettled([...new Set([here.href, ...urls])].map((u) => cache.add(u)));
    document.body.dataset.offline = '1';
  } catch {
    // No offline copy (a private window, storage full): the page works as long as it is served.
  }
}

// ---- Start ----------------------------------------------------------------------------------

async function api() {
  // quavrex-api.js defines window.quavrex at once or after its module has loaded.
  for (let i = 0; !window.quavrex; i++) {
    if (i > 600) {
      throw new Error('window.quavrex did not appear');
    }
    await new Promise((r) => setTimeout(r, 50));
  }
  await window.quavrex.ready;
  return window.quavrex;
}

api()
    .then(async (quavrex) => {
      const page = new Page(quavrex);
      window.quavrexPage = page;  // for scripts and the page's tests
      await page.start();
    })
    .catch((error) => {
      $('status').textContent = `読み込めませんでした: ${error.message ?? error}`;
      throw error;
    });
