// "Play from the bar under the cursor": the time at which the cursor's part reaches the line the
// cursor is on. The part's text is cut at the start of that line and the score compiled again;
// the notes of the cut part before the cut are the same as in the whole tune, so the first note
// the cut left out starts where playback should start. The part is told by comparing note
// counts, which works whatever slot or channel the part got. A cut that does not compile (a
// repeat or a tuplet left open) moves up a line, up to the part's first line.

const kPartOpening = /(?:^|[^0-9A-Za-z])(1[0-6]|[1-9]|[Aa])\[$/;
const kMaxTries = 64;

// The block of a sequence or wave part around `index`: {open, close} string indices of its "["
// and of the "]" that ends it, or null when `index` is in no such block.
export function partBlockAt(text, index) {
  const open = text.lastIndexOf('[', index - 1);
  if (open === -1 || text.lastIndexOf(']', index - 1) > open) {
    return null;
  }
  if (!kPartOpening.test(text.slice(Math.max(0, open - 3), open + 1))) {
    return null;
  }
  const close = text.indexOf(']', open);
  return {open, close: close === -1 ? text.length : close};
}

function countByPart(notes) {
  const counts = new Map();
  for (const n of notes) {
    counts.set(n.part, (counts.get(n.part) ?? 0) + 1);
  }
  return counts;
}

// Seconds from the start of the tune at which the part under `index` reaches the cursor's line,
// or 0 when it cannot be told. `compileNotes(text)` compiles a score text and resolves to its
// notes, or to null when it does not compile; `notes` are those of the whole score.
export async function startOfCursorLine(text, index, notes, compileNotes) {
  const block = partBlockAt(text, index);
  if (block === null) {
    return 0;
  }
  const full = countByPart(notes);
  let cut = text.lastIndexOf('\n', index - 1) + 1;
  for (let tries = 0; tries < kMaxTries && cut > block.open; tries++) {
    const cutNotes = await compileNotes(text.slice(0, cut) + text.slice(block.close));
    if (cutNotes !== null) {
      for (const [part, count] of countByPart(cutNotes)) {
        if (count < (full.get(part) ?? 0)) {
          const own = notes.filter((n) => n.part === part).sort((a, b) => a.startSec - b.startSec);
          return own[count].startSec;
        }
      }
      // No part lost a note: the cursor is past the part's last note, or the part lost all of
      // them (a cut on its first lines), which the counts cannot tell apart from an empty part.
      const parts = new Set(cutNotes.map((n) => n.part));
      const gone = [...full.keys()].filter((p) => !parts.has(p));
      if (gone.length === 1) {
        return Math.min(...notes.filter((n) => n.part === gone[0]).map((n) => n.startSec));
      }
      return 0;
    }
    cut = text.lastIndexOf('\n', cut - 2) + 1;
  }
  return 0;
}
