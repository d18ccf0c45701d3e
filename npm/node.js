// The package in Node.js: reads textquirl.wasm from beside this file; texts
// cross into the module's memory through Buffer, which copies UTF-16 units
// several times faster than a loop.
import { readFileSync } from 'node:fs';

import { start } from './textquirl.js';

const bytes = (memory, at, units) => Buffer.from(memory.buffer, at, 2 * units);
start(await WebAssembly.compile(readFileSync(new URL('./textquirl.wasm', import.meta.url))), {
  write: (memory, at, text) => bytes(memory, at, text.length).write(text, 'utf16le'),
  read: (memory, at, length) => bytes(memory, at, length).toString('utf16le'),
});

export { OutOfMemoryError, scramble, scrambleMany, Scrambler, version, WordTooLongError } from './textquirl.js';
