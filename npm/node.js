// The package in Node.js: reads textquirl.wasm from beside this file.
import { readFileSync } from 'node:fs';

import { start } from './textquirl.js';

start(await WebAssembly.compile(readFileSync(new URL('./textquirl.wasm', import.meta.url))));

export { OutOfMemoryError, scramble, scrambleMany, Scrambler, version, WordTooLongError } from './textquirl.js';
