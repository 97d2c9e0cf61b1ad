// The score editor: a plain text area with line numbers beside it and, behind it, a layer that
// marks the line and column of a compile error. Both follow the text area's scrolling.

import {indexOfLineColumn} from './text.js';

function escapeHtml(text) {
  return text.replace(/[&<>]/g, (c) => ({'&': '&amp;', '<': '&lt;', '>': '&gt;'})[c]);
}

export class Editor {
  constructor(textarea, gutter, marks) {
    this.textarea = textarea;
    this.gutter = gutter;
    this.marks = marks;
    this.mark = null;  // {line, column} of the error shown, or null
    this.lineCount = 0;
    textarea.addEventListener('scroll', () => this.syncScroll());
    textarea.addEventListener('input', () => this.refresh());
  }

  get text() {
    return this.textarea.value;
  }

  set text(value) {
    this.textarea.value = value;
    this.textarea.setSelectionRange(0, 0);
    this.textarea.scrollTop = 0;
    this.refresh();
  }

  get cursor() {
    return this.textarea.selectionStart;
  }

  // Marks a compile error's place (line and column from 1), or clears the mark with null.
  setMark(place) {
    this.mark = place;
    this.refresh();
  }

  // Puts the cursor on the marked place and shows it.
  goToMark() {
    if (this.mark === null) {
      return;
    }
    const index = indexOfLineColumn(this.text, this.mark.line, this.mark.column);
    this.textarea.focus();
    this.textarea.setSelectionRange(index, index);
    const lineTop = (this.mark.line - 1) * 18;
    if (lineTop < this.textarea.scrollTop ||
        lineTop > this.textarea.scrollTop + this.textarea.clientHeight - 36) {
      this.textarea.scrollTop = Math.max(0, lineTop - this.textarea.clientHeight / 3);
    }
  }

  refresh() {
    const text = this.text;
    const lines = text.split('\n');
    if (lines.length !== this.lineCount || this.mark !== null || this.gutter.dataset.marked) {
      this.lineCount = lines.length;
      const numbers = lines.map((_, i) => {
        const n = String(i + 1);
        return this.mark && this.mark.line === i + 1 ? `<span class="err">${n}</span>` : n;
      });
      this.gutter.innerHTML = numbers.join('\n') + '\n';
      this.gutter.dataset.marked = this.mark ? '1' : '';
    }
    this.marks.innerHTML = this.marksHtml(lines);
    this.syncScroll();
  }

  marksHtml(lines) {
    if (this.mark === null || this.mark.line > lines.length) {
      this.marks.removeAttribute('data-line');
      return escapeHtml(lines.join('\n')) + '\n';
    }
    const {line, column} = this.mark;
    const before = escapeHtml(lines.slice(0, line - 1).join('\n'));
    const after = escapeHtml(lines.slice(line).join('\n'));
    const chars = [...lines[line - 1]];
    const at = Math.min(Math.max(column, 1), chars.length + 1) - 1;
    const head = escapeHtml(chars.slice(0, at).join(''));
    const faulty = escapeHtml(chars[at] ?? ' ');
    const tail = escapeHtml(chars.slice(at + 1).join(''));
    this.marks.dataset.line = String(line);
    this.marks.dataset.column = String(column);
    const marked = `<span class="err-line" data-line="${line}">${head}` +
        `<span class="err-col">${faulty}</span>${tail}</span>`;
    return `${before}${line > 1 ? '\n' : ''}${marked}\n${after}\n`;
  }

  syncScroll() {
    this.marks.scrollTop = this.textarea.scrollTop;
    this.marks.scrollLeft = this.textarea.scrollLeft;
    this.gutter.scrollTop = this.textarea.scrollTop;
  }
}
