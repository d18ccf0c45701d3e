// The package in browsers and bundlers: textquirl.wasm is fetched from beside
// this file; bundlers see the `new URL(…, import.meta.url)` and ship it as an
// asset. A server that sends the module without the type application/wasm
// still works, only without compiling while it downloads.
import { start } from './textquirl.js';

async function compile(url) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`cannot load ${url}: HTTP ${response.status}`);
  if (WebAssembly.compileStreaming && response.headers.get('Content-Type') === 'application/wasm') {
    return WebAssembly.compileStreaming(response);
  }
  return WebAssembly.compile(await response.arrayBuffer());
}

start(await compile(new URL('./textquirl.wasm', import.meta.url)));

export { OutOfMemoryError, scramble, scrambleMany, Scrambler, version, WordTooLongError } from './textquirl.js';
