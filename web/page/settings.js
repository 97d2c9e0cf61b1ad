// What the page keeps in the browser's local storage: the options, and the editor's score.

import {$} from './dom.js';

export const kStore = {
  options: 'quavrex.options',
  score: 'quavrex.score',
  name: 'quavrex.scoreName'
};

// The dialog's first-start options: MA1, no octave check, no voice setup, EzGet trailer on.
const kDefaultOptions = {
  format: 'ma1',
  octaveCheck: false,
  voiceSetup: false,
  ezget: true
};

export function loadStored(key, fallback) {
  try {
    const value = localStorage.getItem(key);
    return value === null ? fallback : value;
  } catch {
    return fallback;  // storage switched off: the page still works, it only forgets
  }
}

export function store(key, value) {
  try {
    localStorage.setItem(key, value);
  } catch {
    // Full or switched off: keeping the score is a convenience, never a reason to fail.
  }
}

export function readOptions() {
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

export function setUpOptions(onChange) {
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
