// Reading a score's bytes as text for the editor, with the command line's guess of its
// character set, and turning the editor's text back into bytes for the compiler.

const kUtf8Bom = [0xef, 0xbb, 0xbf];

// The characters of U+0080-U+07FF that Shift-JIS (CP932) holds, from the browser's own decoder
// over every double-byte code. Made once, when a score first needs it.
let twoByteCharsOfSjis = null;
function sjisTwoByteChars() {
  if (twoByteCharsOfSjis === null) {
    twoByteCharsOfSjis = new Set();
    const decoder = new TextDecoder('shift_jis');
    const pair = new Uint8Array(2);
    for (let lead = 0x81; lead <= 0xfc; lead++) {
      if (lead >= 0xa0 && lead < 0xe0) {
        continue;
      }
      pair[0] = lead;
      for (let trail = 0x40; trail <= 0xfc; trail++) {
        pair[1] = trail;
        const text = decoder.decode(pair);
        const code = text.codePointAt(0);
        if (text.length === 1 && code >= 0x80 && code < 0x800) {
          twoByteCharsOfSjis.add(code);
        }
      }
    }
  }
  return twoByteCharsOfSjis;
}

// "utf-8" or "sjis", as the command line guesses: UTF-8 with a byte order mark, or valid UTF-8
// holding a character of three or four bytes; valid UTF-8 whose characters beyond ASCII are all
// of two bytes only when Shift-JIS holds every one of them; Shift-JIS otherwise.
export function guessEncoding(bytes) {
  if (bytes.length >= 3 && kUtf8Bom.every((b, i) => bytes[i] === b)) {
    return 'utf-8';
  }
  let text;
  try {
    text = new TextDecoder('utf-8', {fatal: true}).decode(bytes);
  } catch {
    return 'sjis';
  }
  let twoByte = false;
  for (const ch of text) {
    const code = ch.codePointAt(0);
    if (code >= 0x800) {
      return 'utf-8';
    }
    twoByte ||= code >= 0x80;
  }
  if (!twoByte) {
    return 'sjis';  // ASCII reads the same either way
  }
  const held = sjisTwoByteChars();
  for (const ch of text) {
    const code = ch.codePointAt(0);
    if (code >= 0x80 && !held.has(code)) {
      return 'sjis';
    }
  }
  return 'utf-8';
}

// The text of a score file for the editor and the character set it was read in.
export function decodeScore(bytes) {
  const encoding = guessEncoding(bytes);
  const text = encoding === 'utf-8' ? new TextDecoder('utf-8').decode(bytes)  // drops a BOM
                                      :
                                      new TextDecoder('shift_jis').decode(bytes);
  return {text, encoding};
}

// The editor's text as the compiler reads it: UTF-8, which it converts to Shift-JIS itself and
// compiles to the same bytes and messages as the Shift-JIS copy; a character that Shift-JIS
// lacks is reported with its line and column.
export function encodeScore(text) {
  return new TextEncoder().encode(text);
}

// Line and column (from 1, in characters) of a string index, and back.
export function lineColumnOf(text, index) {
  let line = 1;
  let start = 0;
  for (let i = text.indexOf('\n'); i !== -1 && i < index; i = text.indexOf('\n', i + 1)) {
    line++;
    start = i + 1;
  }
  return {line, column: [...text.slice(start, index)].length + 1};
}

export function indexOfLineColumn(text, line, column) {
  let start = 0;
  for (let n = 1; n < line; n++) {
    const next = text.indexOf('\n', start);
    if (next === -1) {
      return text.length;
    }
    start = next + 1;
  }
  let end = text.indexOf('\n', start);
  if (end === -1) {
    end = text.length;
  }
  // Columns count characters; a character beyond U+FFFF takes two string positions.
  let index = start;
  for (let c = 1; c < column && index < end; c++) {
    index += text.codePointAt(index) > 0xffff ? 2 : 1;
  }
  return index;
}
