// Textquirl's page: the press of Command1 (Command1_Click), its status and
// messages, and the settings. The scramble runs in a worker
// (scramble-worker.js) on the WebAssembly engine, so that a long text keeps
// the page responsive; the result goes to the clipboard as plain text, and a
// line below the button says so. The settings live in the address's fragment
// only (#modus=sorgfaeltig&seed=7); without any the presses are the window's.
// Works from any web server, where a service worker keeps the site for
// visits without a network, and opened from disk, where the module comes
// from its script copy instead of the .wasm file. The built page names the
// module's files (their names carry a hash of their content) on this script.
'use strict';

(() => {
  const files = document.currentScript.dataset;  // wasm, wasmScript
  const kCopyRefused =
    'Der verwurschtelte Text konnte nicht in die Zwischenablage kopiert werden: ' +
    'Der Browser hat es nicht erlaubt.\n\n' +
    'So kopieren Sie ihn von Hand: Er steht unten schon markiert. Drücken Sie Strg+C ' +
    '(am Mac ⌘+C) und dann „OK“. Ihr Text im Eingabefeld ist unverändert.';
  // GRUND is replaced by what went wrong.
  const kPageFailed =
    'Der Text konnte nicht verwurschtelt werden.\n\n' +
    'Die Seite ist nicht vollständig geladen oder gestört (GRUND). Bitte laden Sie sie neu.\n\n' +
    'Ihr Text im Eingabefeld und die Zwischenablage sind unverändert.';
  const pageFailed = (error) => kPageFailed.replace('GRUND', String(error?.message ?? error));
  const kCopied = 'Verwurschtelt und in die Zwischenablage kopiert.';
  const kEmptied = 'Das Textfeld ist leer: Die Zwischenablage ist jetzt leer.';
  const kNotScrambled = 'Nicht verwurschtelt: Ihr Text und die Zwischenablage sind unverändert.';
  const kNotCopied = 'Verwurschtelt, aber nicht in die Zwischenablage kopiert.';

  const text1 = document.getElementById('Text1');
  const command1 = document.getElementById('Command1');
  const dialog = document.getElementById('Meldung');
  const dialogText = document.getElementById('MeldungText');
  const dialogResult = document.getElementById('MeldungErgebnis');
  const dialogOk = document.getElementById('MeldungOK');
  const status = document.getElementById('Status');
  const note = document.getElementById('Hinweis');

  // A scramble that failed; `message` is what to tell the user.
  class ScrambleFailure extends Error {}

  // A result the browser would not let onto the clipboard.
  class CopyRefused extends Error {
    constructor(text) {
      super('copy refused');
      this.text = text;
    }
  }

  const engine = startEngine();

  // Reads the text, scrambles it and puts the result on the clipboard. The
  // clipboard write starts here, within the click, while the browser still
  // allows it; the text follows when the worker has it. The status line is
  // emptied first, so that a screen reader also announces a repeated status.
  function Command1_Click() {
    const empty = text1.value === '';
    status.textContent = '';
    copyToClipboard(engine.scramble(text1.value)).then(
      () => {
        status.textContent = empty ? kEmptied : kCopied;
      },
      (error) => {
        status.textContent = error instanceof CopyRefused ? kNotCopied : kNotScrambled;
        showFailure(error);
      },
    );
  }

  command1.addEventListener('click', Command1_Click);

  // The keys that press the button while Text1 has the focus (Ctrl+Enter, as
  // in the desktop windows), from the button's aria-keyshortcuts. A held
  // key presses once; the text keeps no line break from it.
  const pressKeys = (command1.getAttribute('aria-keyshortcuts') ?? '').split(' ').filter(Boolean);
  text1.addEventListener('keydown', (event) => {
    const key = event.key === ' ' ? 'Space' : event.key;
    const held = [event.ctrlKey && 'Control', event.altKey && 'Alt', event.shiftKey && 'Shift', event.metaKey && 'Meta'];
    if (!pressKeys.includes([...held.filter(Boolean), key].join('+'))) return;
    event.preventDefault();
    if (!event.repeat) Command1_Click();
  });
  dialogOk.addEventListener('click', () => dialog.close());
  dialog.addEventListener('close', () => command1.focus());

  startSettings(engine);
  // The service worker keeps the site's files for visits without a network;
  // registered once the page has loaded, so that it does not hold up the
  // module. Opened from disk or on an insecure origin there is none.
  if ('serviceWorker' in navigator && location.protocol !== 'file:') {
    addEventListener('load', () => navigator.serviceWorker.register('service-worker.js').catch(() => {}));
  }

  // The engine in its worker: scramble(text) gives a Promise of the result;
  // presses are answered in order, each with the generator's next values.
  function startEngine() {
    const decoder = new TextDecoder('utf-16le');
    const waiting = new Map();
    let nextId = 0;
    let worker;
    let ready;
    try {
      const source = new Blob([`(${textquirlWorker})(self);`], { type: 'text/javascript' });
      worker = new Worker(URL.createObjectURL(source));
      worker.onmessage = ({ data }) => {
        const press = waiting.get(data.id);
        if (!press) return;  // given up when the worker broke down
        waiting.delete(data.id);
        if (data.ok) press.resolve(decoder.decode(data.units));
        else press.reject(new ScrambleFailure(data.message ?? pageFailed('kein Speicher für einen neuen Versuch')));
      };
      // The worker itself broke down: no press still waiting will be answered.
      worker.onerror = (event) => {
        for (const press of waiting.values()) press.reject(new ScrambleFailure(pageFailed(event.message)));
        waiting.clear();
      };
      ready = moduleBytes()
        .then((bytes) => WebAssembly.compile(bytes))
        .then((module) => worker.postMessage({ module }));
    } catch (error) {
      ready = Promise.reject(error);
    }
    ready.catch(() => {});  // reported at the press
    return {
      // Scrambles with `settings` (null: the window's) from the next press
      // on, with the generator started afresh.
      configure(settings) {
        ready.then(() => worker.postMessage({ settings }), () => {});
      },
      scramble(text) {
        return ready.then(
          () =>
            new Promise((resolve, reject) => {
              const id = nextId++;
              waiting.set(id, { resolve, reject });
              worker.postMessage({ id, text });
            }),
          (error) => {
            throw new ScrambleFailure(pageFailed(error));
          },
        );
      },
    };
  }

  // The module's bytes: fetched from a web server; opened from disk, where
  // nothing may be fetched, from a script that carries them.
  function moduleBytes() {
    if (location.protocol !== 'file:') {
      return fetch(files.wasm).then((response) => {
        if (!response.ok) throw new Error(`${files.wasm}: HTTP ${response.status}`);
        return response.arrayBuffer();
      });
    }
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = files.wasmScript;
      script.onload = () => resolve(Uint8Array.from(atob(self.textquirlWasm), (c) => c.charCodeAt(0)));
      script.onerror = () => reject(new Error(`${files.wasmScript} fehlt`));
      document.head.append(script);
    });
  }

  // Puts the text `result` will give on the clipboard as plain text; rejects
  // with the ScrambleFailure if the scramble fails (the clipboard is then
  // left alone) or with CopyRefused if no way to the clipboard is open.
  function copyToClipboard(result) {
    const clipboard = navigator.clipboard;  // missing on insecure origins
    if (clipboard && typeof ClipboardItem === 'function') {
      return clipboard
        .write([new ClipboardItem({ 'text/plain': result })])
        .catch(() => result.then(copyThroughSelection));
    }
    if (clipboard) {
      return result.then((text) => clipboard.writeText(text).catch(() => copyThroughSelection(text)));
    }
    return result.then(copyThroughSelection);
  }

  // The old way: select the text in a hidden text box and copy. Works only
  // shortly after a click.
  function copyThroughSelection(text) {
    const focused = document.activeElement;
    const source = document.createElement('textarea');
    source.className = 'copy-source';
    source.readOnly = true;
    source.tabIndex = -1;
    source.setAttribute('aria-hidden', 'true');
    source.value = text;
    document.body.append(source);
    source.select();
    let copied = false;
    try {
      copied = document.execCommand('copy');
    } catch {
      copied = false;
    }
    source.remove();
    focused?.focus();
    if (!copied) throw new CopyRefused(text);
  }

  function showFailure(error) {
    if (error instanceof CopyRefused) {
      showMessage(kCopyRefused, error.text);
    } else if (error instanceof ScrambleFailure) {
      showMessage(error.message);
    } else {
      showMessage(pageFailed(error));
    }
  }

  // A message in the manner of a message box; `copyText`, if given, stands
  // selected below it for copying by hand.
  function showMessage(message, copyText) {
    dialogText.textContent = message;
    dialogResult.hidden = copyText === undefined;
    dialogResult.value = copyText ?? '';
    if (!dialog.open) dialog.showModal();
    if (copyText === undefined) {
      dialogOk.focus();
    } else {
      dialogResult.focus();
      dialogResult.select();
      dialogResult.scrollTop = 0;
    }
  }

  // The settings: each with its name in the fragment, its default (not
  // written), and how its text is read; a reader returns the value or throws
  // the German reason. The fields show the settings in force.
  function startSettings(engine) {
    const kMaxNumber = 4294967295;
    const count = (min, text) => {
      if (!/^\d+$/.test(text) || Number(text) < min || Number(text) > kMaxNumber) {
        throw new Error(`erlaubt sind ganze Zahlen von ${min} bis ${kMaxNumber}`);
      }
      return Number(text);
    };
    const field = (id) => document.getElementById(id);
    const modeRadios = [...document.querySelectorAll('input[name="modus"]')];
    const kSettings = [
      {
        key: 'modus', name: 'mode', fallback: 'classic',
        read: (text) => {
          const mode = { klassisch: 'classic', sorgfaeltig: 'careful' }[text];
          if (!mode) throw new Error('erlaubt sind „klassisch“ und „sorgfaeltig“');
          return mode;
        },
        write: (mode) => (mode === 'careful' ? 'sorgfaeltig' : 'klassisch'),
        show: (mode) => modeRadios.forEach((r) => { r.checked = r.value === kSettings[0].write(mode); }),
        fields: modeRadios,
        typed: () => modeRadios.find((r) => r.checked).value,
      },
      {
        key: 'mindestlaenge', name: 'minLength', fallback: 4, read: (text) => count(4, text.trim()), write: String,
        input: field('Mindestlaenge'),
      },
      {
        key: 'anteil', name: 'rate', fallback: 1,
        read: (text) => {
          const rate = Number(text.trim().replace(',', '.'));
          if (!/^(\d+([.,]\d*)?|[.,]\d+)$/.test(text.trim()) || !(rate >= 0 && rate <= 1)) {
            throw new Error('erlaubt sind Zahlen von 0 bis 1, etwa 0,5');
          }
          return rate;
        },
        write: String,
        shown: (rate) => String(rate).replace('.', ','),
        input: field('Anteil'),
      },
      {
        key: 'immer-anders', name: 'alwaysChange', fallback: false,
        read: (text) => {
          if (text !== '0' && text !== '1') throw new Error('erlaubt sind 1 (ein) und 0 (aus)');
          return text === '1';
        },
        write: () => '1',
        show: (on) => { field('ImmerAnders').checked = on; },
        fields: [field('ImmerAnders')],
        typed: () => (field('ImmerAnders').checked ? '1' : '0'),
      },
      {
        key: 'behalten', name: 'keep', fallback: [],
        read: (text) => {
          const words = text.split(',').map((w) => w.trim()).filter(Boolean);
          const spaced = words.find((w) => /\s/.test(w));
          if (spaced !== undefined) throw new Error(`„${spaced}“ ist kein einzelnes Wort`);
          return words;
        },
        write: (words) => words.map(encodeURIComponent).join(','),
        shown: (words) => words.join(', '),
        same: (a, b) => a.join('\n') === b.join('\n'),
        input: field('Behalten'),
      },
      {
        key: 'seed', name: 'seed', fallback: null,
        read: (text) => (text.trim() === '' ? null : count(0, text.trim())),
        write: String,
        shown: (seed) => (seed === null ? '' : String(seed)),
        input: field('Startwert'),
      },
    ];
    for (const s of kSettings) {
      s.same ??= (a, b) => a === b;
      if (s.input) {
        s.show = (value) => { s.input.value = (s.shown ?? String)(value); };
        s.fields = [s.input];
        s.typed = () => s.input.value;
      }
    }
    const settings = Object.fromEntries(kSettings.map((s) => [s.name, s.fallback]));
    const isDefault = () => kSettings.every((s) => s.same(settings[s.name], s.fallback));
    const apply = () => engine.configure(isDefault() ? null : { ...settings });
    const say = (notes) => {
      note.textContent = notes.join('\n');
      note.hidden = notes.length === 0;
    };

    // Reads the fragment (#modus=sorgfaeltig&mindestlaenge=5): every setting
    // not named there is at its default; a bad part is left out with a note.
    function readFragment() {
      const notes = [];
      for (const s of kSettings) settings[s.name] = s.fallback;
      for (const part of location.hash.slice(1).split('&').filter(Boolean)) {
        const at = part.indexOf('=');
        let key, value;
        try {
          key = decodeURIComponent(at < 0 ? part : part.slice(0, at));
          value = at < 0 ? '' : decodeURIComponent(part.slice(at + 1));
        } catch {
          notes.push(`„${part}“ in der Adresse wird nicht verwendet: Die Zeichenfolge ist nicht richtig kodiert.`);
          continue;
        }
        const s = kSettings.find((k) => k.key === key);
        try {
          if (!s) throw new Error(`eine Einstellung „${key}“ gibt es nicht`);
          settings[s.name] = s.read(value);
        } catch (error) {
          notes.push(`„${at < 0 ? key : `${key}=${value}`}“ in der Adresse wird nicht verwendet: ${error.message}.`);
        }
      }
      for (const s of kSettings) {
        s.show(settings[s.name]);
        for (const f of s.fields) f.removeAttribute('aria-invalid');
      }
      say(notes);
      apply();
    }

    // The fragment for the settings in force, defaults left out.
    function writeFragment() {
      const parts = kSettings.filter((s) => !s.same(settings[s.name], s.fallback)).map((s) => `${s.key}=${s.write(settings[s.name])}`);
      history.replaceState(history.state, '', parts.length > 0 ? `#${parts.join('&')}` : location.pathname + location.search);
    }

    for (const s of kSettings) {
      for (const f of s.fields) {
        f.addEventListener('change', () => {
          let value;
          try {
            value = s.read(s.typed());
          } catch (error) {
            for (const g of s.fields) g.setAttribute('aria-invalid', 'true');
            const label = f.labels?.[0]?.textContent ?? '';
            say([`„${s.typed()}“ wird nicht verwendet (${label.trim()}): ${error.message}.`]);
            return;
          }
          for (const g of s.fields) g.removeAttribute('aria-invalid');
          say([]);
          s.show(value);
          if (s.same(settings[s.name], value)) return;
          settings[s.name] = value;
          writeFragment();
          apply();
        });
      }
    }
    addEventListener('hashchange', readFragment);
    readFragment();
  }
})();
