// The page: the dialog's drop area, options and log beside the editor with its
// compile-as-you-type, playback and piano roll. Everything runs on window.quavrex (the same
// compiler, reader and renderer as the programs); nothing leaves the page but the downloads
// the user asks for.

import {startOfCursorLine} from './cursor_time.js';
import {DialogJob, kMaxWaveBytes, logLine} from './dialog_job.js';
import {$, button, withExtension} from './dom.js';
import {Editor} from './editor.js';
import {Player} from './player.js';
import {partColour, PianoRoll} from './roll.js';
import {kStore, loadStored, readOptions, setUpOptions, store} from './settings.js';
import {decodeScore, encodeScore} from './text.js';

const kCompileDelayMs = 100;
const kExampleName = 'overture.mml';
const kCache = 'quavrex-page';

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
    this.good = null;  // {mmf, notes, duration, parts} of the last score that compiled
    this.muted = new Set();
    this.solo = new Set();
    this.playingMmf = null;  // the .MMF the transport plays (the editor's or one from the log)
    this.player.onEnded = () => this.showPosition();
    this.player.onRendering = (busy) => {
      $('status').textContent = busy ? '再生の準備中…' : '準備ができました。';
    };
    this.job = new DialogJob(api, {
      options: (name) => this.options(name),
      play: (mmf) => this.playMmf(mmf),
      stop: () => this.stop(),
      openMidi: (file) => this.openMidi(file),
    });
  }

  async start() {
    setUpOptions(() => this.compileSoon(0));
    $('version').textContent = `Ver${await this.api.version}`;
    this.job.setUp();
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
      waves: Object.fromEntries(this.job.waves),
    };
  }

  // A MIDI file: converted into a score with the options shown, which is compiled as a dropped
  // score is (two log lines, as the dialog gives) and opens in the editor.
  async openMidi(file) {
    const result =
        await this.api.page.midiToScore(file.bytes, file.name, {format: readOptions().format});
    logLine(result.log, !result.score);
    if (result.score) {
      const scoreName = withExtension(file.name, '.mml');
      await this.job.compileDropped({name: scoreName, bytes: result.score});
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
    $('open-input').addEventListener('change', (e) => {
      const files = [...e.target.files];
      e.target.value = '';
      this.openFiles(files);
    });
    // A score dropped on the editor opens in it.
    $('editor-frame').addEventListener('drop', (e) => {
      e.preventDefault();
      e.stopPropagation();
      this.openFiles([...e.dataTransfer.files]);
    });
  }

  // Opens the first score (or MIDI file) of `files` in the editor; the others are kept as the
  // waves the score may play, as dropped ones are.
  async openFiles(files) {
    const isScore = (f) => /\.(mml|mus|midi?)$/i.test(f.name);
    for (const wave of files.filter((f) => !isScore(f) && f.size <= kMaxWaveBytes)) {
      this.job.keepWave(wave.name, new Uint8Array(await wave.arrayBuffer()));
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
      link.download = withExtension(this.scoreName, '.MMF');
      link.setAttribute('aria-disabled', 'false');
      const notes = await this.api.page.notes(result.mmf);
      const duration = (await this.api.page.durationSec(result.mmf)) ?? 0;
      // "1"-"16" as the listing numbers the channels, and "A" for the audio track's waves.
      const parts = await this.api.page.parts(result.mmf);
      if (generation !== this.generation) {
        return;
      }
      this.good = {mmf: result.mmf, notes, duration, parts};
      this.showParts(parts);
      this.roll.show(notes, duration);
      this.showPosition();
    } else {
      link.removeAttribute('href');
      link.setAttribute('aria-disabled', 'true');
    }
    // Until the score compiles again, the roll and the transport keep the last tune that did.
    $('roll-scroller').classList.toggle('stale', !result.mmf);
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
      await this.player.play(mmf, fromSec, own ? this.silentParts() : []);
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
