// Small helpers for building the page's controls.

export const $ = (id) => document.getElementById(id);

export function button(text, onClick) {
  const b = document.createElement('button');
  b.type = 'button';
  b.textContent = text;
  b.addEventListener('click', onClick);
  return b;
}

// A link that saves `bytes` as the file `name`.
export function downloadLink(text, name, bytes, type = 'application/octet-stream') {
  const a = document.createElement('a');
  a.className = 'button';
  a.textContent = text;
  a.download = name;
  a.href = URL.createObjectURL(new Blob([bytes], {type}));
  return a;
}

// The name with its extension (from the last ".") replaced, as the programs name their outputs.
export function withExtension(name, extension) {
  const dot = name.lastIndexOf('.');
  return (dot === -1 ? name : name.slice(0, dot)) + extension;
}
