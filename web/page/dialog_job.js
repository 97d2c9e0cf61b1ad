// The dialog's job on the page: files dropped on the drop area (or chosen with it) are compiled
// in order with the options shown, one line each at the top of the log, newest first, each
// .MMF offered for download (and all of one drop as a .zip); a dropped .MMF shows its listing
// and offers play, .mid and .wav; a dropped .mid goes to the editor.

import {$, button, downloadLink, withExtension} from './dom.js';
import {makeZip} from './zip.js';

// Wave files are ADPCM of a few kilobytes a second: a larger file is no wave of a ring tone.
export const kMaxWaveBytes = 4 << 20;
const kMaxKeptWaveBytes = 16 << 20;

// Puts a line at the top of the log (newest first) and returns its item for the actions.
export function logLine(text, failed = false, title = '') {
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


// `host` gives what the job needs of the rest of the page: options(name) for a compile,
// play(mmf), stop(), and openMidi({name, bytes}) for a dropped MIDI file.
export class DialogJob {
  constructor(api, host) {
    this.api = api;
    this.host = host;
    this.waves = new Map();            // wave files dropped, by name, for the scores that play them
    this.dropped = Promise.resolve();  // the files being handled
  }

  setUp() {
    const area = $('drop-area');
    const input = $('drop-input');
    // Files may be dropped anywhere on the dialog's side of the page, as on the dialog.
    const side = $('dialog');
    side.addEventListener('dragover', (e) => {
      e.preventDefault();
      e.dataTransfer.dropEffect = 'copy';
      area.classList.add('over');
    });
    side.addEventListener('dragleave', () => area.classList.remove('over'));
    side.addEventListener('drop', (e) => {
      e.preventDefault();
      area.classList.remove('over');
      this.queue([...e.dataTransfer.files]);
    });
    area.addEventListener('click', () => input.click());
    area.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === ' ') {
        e.preventDefault();
        input.click();
      }
    });
    input.addEventListener('change', () => {
      this.queue([...input.files]);
      input.value = '';
    });
    // A file dropped elsewhere on the page must not make the browser leave it.
    window.addEventListener('dragover', (e) => e.preventDefault());
    window.addEventListener('drop', (e) => e.preventDefault());
  }

  // Files dropped while others are still being compiled wait for them, so that the log keeps
  // the order of the drops.
  queue(files) {
    this.dropped = this.dropped.then(() => this.handleFiles(files));
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
            await this.host.openMidi(f);
            break;
          default: {
            const mmf = await this.compileDropped(f);
            if (mmf) {
              compiled.push({name: withExtension(f.name, '.MMF'), bytes: mmf});
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
    const result = await this.api.compile(file.bytes, this.host.options(file.name));
    const item = logLine(result.log, !result.mmf, diagnosticPlace(result));
    if (result.rangeReport) {
      const pre = document.createElement('pre');
      pre.textContent = result.rangeReport;
      item.append(pre);
    }
    if (result.mmf) {
      actions(
          item, downloadLink('ダウンロード', withExtension(file.name, '.MMF'), result.mmf),
          ...this.mmfActions(withExtension(file.name, '.MMF'), result.mmf));
    }
    return result.mmf;
  }

  mmfActions(name, mmf) {
    // An export is made when asked for; its button becomes the link that saves it, and its
    // log line (the file's name, or why nothing was made) goes on top of the log.
    const exporter = (text, extension, type, make) => button(text, async (e) => {
      e.target.disabled = true;
      const bytes = await make();
      logLine(this.api.page.lastLog, !bytes);
      if (bytes) {
        e.target.replaceWith(downloadLink(text, withExtension(name, extension), bytes, type));
      }
    });
    return [
      button('再生', () => this.host.play(mmf)),
      button('停止', () => this.host.stop()),
      exporter('MIDIで保存', '.mid', 'audio/midi', () => this.api.midi(mmf)),
      exporter('WAVで保存', '.wav', 'audio/wav', () => this.api.wav(mmf, 44100)),
    ];
  }

  // A dropped .MMF: its listing, and play, .mid and .wav.
  async showMmf(file) {
    const listing = await this.api.dump(file.bytes, file.name);
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
}
