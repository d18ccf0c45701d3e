// Textquirl's page: the press of Command1 (Command1_Click) and the messages.
// The scramble runs in a worker (scramble-worker.js) on the WebAssembly
// engine, so that a long text keeps the page responsive; the result goes to
// the clipboard as plain text. Nothing visible changes when all goes well.
// Works from any web server and opened from disk, where the module comes
// from textquirl-wasm.js instead of textquirl.wasm.
'use strict';

(() => {
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

  const text1 = document.getElementById('Text1');
  const command1 = document.getElementById('Command1');
  const dialog = document.getElementById('Meldung');
  const dialogText = document.getElementById('MeldungText');
  const dialogResult = document.getElementById('MeldungErgebnis');
  const dialogOk = document.getElementById('MeldungOK');

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
  // allows it; the text follows when the worker has it.
  function Command1_Click() {
    copyToClipboard(engine.scramble(text1.value)).catch(showFailure);
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
      return fetch('textquirl.wasm').then((response) => {
        if (!response.ok) throw new Error(`textquirl.wasm: HTTP ${response.status}`);
        return response.arrayBuffer();
      });
    }
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = 'textquirl-wasm.js';
      script.onload = () => resolve(Uint8Array.from(atob(self.textquirlWasm), (c) => c.charCodeAt(0)));
      script.onerror = () => reject(new Error('textquirl-wasm.js fehlt'));
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
})();
