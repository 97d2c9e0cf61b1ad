// The piano roll: the compiled tune's notes, one row per pitch, time running to the right, each
// part in its own colour; frequency-mode notes follow their glide. It draws only the visible
// stretch on a canvas that stays in view while a wide spacer gives the scroll bar its length.

const kPixelsPerSecond = 96;
const kRowHeight = 6;
const kMargin = 3;  // rows above the highest and below the lowest note

// A colour per part ("1"-"16", "A"), far apart in hue, so neighbouring parts differ.
export function partColour(part) {
  const index = part === 'A' ? 16 : Number(part) - 1;
  const hue = (index * 137.5) % 360;
  return `hsl(${hue.toFixed(0)} 70% 45%)`;
}

export class PianoRoll {
  constructor(scroller, canvas, spacer) {
    this.scroller = scroller;
    this.canvas = canvas;
    this.spacer = spacer;
    this.notes = [];
    this.hidden = new Set();  // parts drawn faint (muted), as strings
    this.duration = 0;
    this.playhead = null;
    this.lowest = 60;
    this.highest = 72;
    scroller.addEventListener('scroll', () => this.draw());
    new ResizeObserver(() => this.draw()).observe(scroller);
  }

  // Shows a new tune: `notes` as quavrex.page.notes gives them, `duration` in seconds.
  show(notes, duration) {
    this.notes = notes;
    this.duration = Math.max(duration, ...notes.map((n) => n.endSec), 0);
    const pitches = notes.flatMap((n) => [n.pitch, ...(n.glide ?? []).map((p) => p[1])]);
    this.lowest = pitches.length ? Math.floor(Math.min(...pitches)) - kMargin : 60;
    this.highest = pitches.length ? Math.ceil(Math.max(...pitches)) + kMargin : 72;
    const rows = this.highest - this.lowest + 1;
    this.canvas.style.height = `${rows * kRowHeight}px`;
    this.spacer.style.width = `${Math.ceil(this.duration * kPixelsPerSecond) + 40}px`;
    this.canvas.dataset.noteCount = String(notes.length);
    this.canvas.setAttribute('aria-label', `ピアノロール: 音符 ${notes.length} 個`);
    this.draw();
  }

  // Moves the playhead to `seconds` (null hides it) and keeps it in view.
  follow(seconds) {
    this.playhead = seconds;
    if (seconds !== null) {
      const x = seconds * kPixelsPerSecond;
      const width = this.scroller.clientWidth;
      const left = this.scroller.scrollLeft;
      if (x < left || x > left + width * 0.75) {
        this.scroller.scrollLeft = Math.max(0, x - width * 0.25);
      }
    }
    this.draw();
  }

  y(pitch) {
    return (this.highest - pitch) * kRowHeight;
  }

  draw() {
    const width = this.scroller.clientWidth;
    const height = (this.highest - this.lowest + 1) * kRowHeight;
    const scale = window.devicePixelRatio || 1;
    if (this.canvas.width !== Math.round(width * scale)) {
      this.canvas.width = Math.round(width * scale);
    }
    if (this.canvas.height !== Math.round(height * scale)) {
      this.canvas.height = Math.round(height * scale);
    }
    this.canvas.style.width = `${width}px`;
    const g = this.canvas.getContext('2d');
    g.setTransform(scale, 0, 0, scale, 0, 0);
    g.clearRect(0, 0, width, height);
    this.drawGrid(g, width, height);
    const from = this.scroller.scrollLeft / kPixelsPerSecond;
    const to = from + width / kPixelsPerSecond;
    g.save();
    g.translate(-this.scroller.scrollLeft, 0);
    for (const note of this.notes) {
      if (note.endSec >= from && note.startSec <= to) {
        this.drawNote(g, note);
      }
    }
    g.globalAlpha = 1;
    if (this.playhead !== null) {
      g.fillStyle = '#d00';
      g.fillRect(this.playhead * kPixelsPerSecond - 1, 0, 2, height);
    }
    g.restore();
  }

  drawGrid(g, width, height) {
    for (let pitch = this.lowest; pitch <= this.highest; pitch++) {
      const black = [1, 3, 6, 8, 10].includes(((pitch % 12) + 12) % 12);
      g.fillStyle = pitch % 12 === 0 ? '#dde' : black ? '#eef' : '#f8f8fc';
      g.fillRect(0, this.y(pitch), width, kRowHeight);
    }
    g.fillStyle = '#ccd';
    const first = Math.ceil(this.scroller.scrollLeft / kPixelsPerSecond);
    for (let s = first; s * kPixelsPerSecond < this.scroller.scrollLeft + width; s++) {
      g.fillRect(s * kPixelsPerSecond - this.scroller.scrollLeft, 0, 1, height);
    }
  }

  drawNote(g, note) {
    const x0 = note.startSec * kPixelsPerSecond;
    const x1 = Math.max(note.endSec * kPixelsPerSecond, x0 + 1);
    g.globalAlpha = this.hidden.has(String(note.part)) ? 0.2 : 1;
    g.fillStyle = g.strokeStyle = partColour(note.part);
    if (!note.glide || note.glide.length === 0) {
      g.fillRect(x0, this.y(note.pitch), x1 - x0, kRowHeight - 1);
      return;
    }
    // A glide: the pitch as a curve through its points, held after the last one.
    g.lineWidth = kRowHeight - 1;
    g.lineJoin = 'round';
    g.beginPath();
    g.moveTo(x0, this.y(note.pitch) + kRowHeight / 2);
    for (const [sec, pitch] of note.glide) {
      g.lineTo(sec * kPixelsPerSecond, this.y(pitch) + kRowHeight / 2);
    }
    const last = note.glide[note.glide.length - 1][1];
    g.lineTo(x1, this.y(last) + kRowHeight / 2);
    g.stroke();
  }

  // The time at a horizontal position of the scroller, for starting playback with a click.
  timeAt(clientX) {
    const box = this.scroller.getBoundingClientRect();
    return Math.max(0, (clientX - box.left + this.scroller.scrollLeft) / kPixelsPerSecond);
  }
}
