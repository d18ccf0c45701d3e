// Textquirl: readable jumbled letters. In every word of at least four
// characters the first and last character stay and the ones between are
// shuffled; the results are those of the command-line filter textquirl-cli.

/** How words are found and shuffled. */
export type Mode = 'classic' | 'careful';

/** What a scramble may be asked to do besides the classic default. */
export interface ScrambleOptions {
  /** The generator's start, an integer from 0 to 2^32 - 1 (default 5489, as `textquirl-cli`). */
  seed?: number;
  /** Default `"classic"`. */
  mode?: Mode;
  /** The shortest word scrambled, in characters; at least 4 (the default). */
  minLength?: number;
  /** The share of eligible words scrambled, 0 to 1 (default 1). */
  rate?: number;
  /** Rotate a word's inner characters by one when the shuffle left them as they were (default false). */
  alwaysChange?: boolean;
  /** Words left exactly as they are: whole words, case-sensitive (default none). */
  keep?: readonly string[];
}

/** A record's key: an integer from 0 to 2^64 - 1 (a number up to 2^53 - 1, or a BigInt), or a text. */
export type RecordKey = number | bigint | string;

export interface ScrambleManyOptions extends ScrambleOptions {
  /** One key per text; by default 1, 2, 3, … as `textquirl-cli --per-line` numbers lines. */
  keys?: readonly RecordKey[];
}

/**
 * Scrambles `text` with a generator started afresh from `seed`: the filter's
 * output for the same text (line breaks LF or CR LF in, LF out).
 * Throws TypeError for an option of the wrong type, RangeError naming an
 * option out of range, OutOfMemoryError.
 *
 *     scramble('Hallo, Welt!') === 'Hlalo, Wlet!'
 */
export function scramble(text: string, options?: ScrambleOptions): string;

/**
 * One generator across calls, as a window's presses: with the default seed
 * and options, the n-th scramble() of a new Scrambler gives what the n-th
 * press after a fresh start gives.
 * Scramblers never disturb each other; a call that fails draws nothing.
 */
export class Scrambler {
  constructor(options?: ScrambleOptions);
  scramble(text: string): string;
}

/**
 * Scrambles each text as a record with a generator of its own, made from
 * the seed and the record's key alone: the same text and key give the same
 * result wherever the record stands. With the default keys, the results are
 * `textquirl-cli --per-line`'s lines.
 */
export function scrambleMany(texts: readonly string[], options?: ScrambleManyOptions): string[];

/** The package's version, that of Textquirl. */
export const version: string;

/** A word beyond the engine's limits (2^32 - 1 characters to shuffle). */
export class WordTooLongError extends Error {}

/** The WebAssembly module's memory (at most 4 GiB) ran out during a call; the next call starts afresh. */
export class OutOfMemoryError extends Error {}
