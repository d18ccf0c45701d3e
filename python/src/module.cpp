// textquirl._textquirl: the engine's scramble for Python strings.
//
// A text comes in as a str with LF (or CR LF) line breaks, goes to the engine
// as UTF-16 with CR LF and comes back as a str with LF, so that a result is
// the filter's output for the same text. Arguments are checked here, before
// anything is drawn: a wrong type is a TypeError, a value out of range a
// ValueError that names the argument. The public names are re-exported by
// the package (textquirl/__init__.py); the types are in _textquirl.pyi.
//
//   textquirl.scramble("Hallo, Welt!") == the first result of textquirl-cli
//   textquirl.scramble_many(["a b", "c d"]) == the lines of textquirl-cli --per-line
#include <pybind11/pybind11.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

#include "engine/error.hpp"
#include "engine/line_breaks.hpp"
#include "engine/options.hpp"
#include "engine/random_source.hpp"
#include "engine/record.hpp"
#include "engine/scramble.hpp"

#ifndef TEXTQUIRL_VERSION
#error "TEXTQUIRL_VERSION must be defined by the build (from the top CMakeLists.txt)"
#endif

namespace py = pybind11;
namespace tq = textquirl;

namespace {

// The names of the modes, as the filter's --mode takes them.
constexpr std::pair<std::string_view, tq::Mode> kModes[] = {
    {"classic", tq::Mode::classic},
    {"careful", tq::Mode::careful},
};

std::string_view mode_name(tq::Mode mode) {
  for (const auto& [name, value] : kModes) {
    if (value == mode) return name;
  }
  return "classic";
}

std::string type_name(py::handle value) { return Py_TYPE(value.ptr())->tp_name; }

std::string shown(py::handle value) { return py::repr(value).cast<std::string>(); }

[[noreturn]] void wrong_type(const std::string& what, const std::string& expected, py::handle value) {
  throw py::type_error(what + " must be " + expected + ", not " + type_name(value));
}

// `what` followed by an index, as the messages name an element: "texts[3]".
std::string element(const std::string& what, std::size_t index) {
  return what + "[" + std::to_string(index) + "]";
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// What write_utf16 found in a str.
struct Appended {
  std::size_t units = 0;               // the UTF-16 units written
  std::size_t lone_surrogate = kNone;  // the index of the first, or kNone
  bool line_break = false;             // whether it holds a CR or an LF
};

// The most UTF-16 units a str of `length` characters takes.
constexpr std::size_t max_utf16(std::size_t length) { return 2 * length; }

// Writes the str `text` (ready) as UTF-16 to `to`, which has room for
// max_utf16 of its length, up to its first lone surrogate (U+D800 to U+DFFF,
// which a str may hold and UTF-16 cannot carry). Reads only the str's
// characters, so it runs without the GIL while the str is kept alive.
//   "Grüße 👋" writes u"Grüße 👋" (the emoji as a surrogate pair): {8, kNone, false}
Appended write_utf16(PyObject* text, char16_t* to) {
  const auto length = static_cast<std::size_t>(PyUnicode_GET_LENGTH(text));
  const void* data = PyUnicode_DATA(text);
  Appended found;
  switch (PyUnicode_KIND(text)) {
    case PyUnicode_1BYTE_KIND: {
      // Widened and searched in one loop the compiler vectorises: the
      // search in bytes, not in bools, which it would not.
      const auto* p = static_cast<const Py_UCS1*>(data);
      unsigned char line_break = 0;
      for (std::size_t i = 0; i < length; ++i) {
        to[i] = p[i];
        line_break |= static_cast<unsigned char>((p[i] == '\n') | (p[i] == '\r'));
      }
      return {length, kNone, line_break != 0};
    }
    case PyUnicode_2BYTE_KIND: {
      const auto* p = static_cast<const Py_UCS2*>(data);
      std::uint16_t surrogate = 0, line_break = 0;
      for (std::size_t i = 0; i < length; ++i) {
        to[i] = p[i];
        surrogate |= static_cast<std::uint16_t>((p[i] & 0xF800u) == 0xD800u);
        line_break |= static_cast<std::uint16_t>((p[i] == u'\n') | (p[i] == u'\r'));
      }
      if (surrogate != 0) {
        return {0, static_cast<std::size_t>(std::find_if(p, p + length, [](Py_UCS2 c) { return (c & 0xF800u) == 0xD800u; }) - p),
                line_break != 0};
      }
      return {length, kNone, line_break != 0};
    }
    default: {
      const auto* p = static_cast<const Py_UCS4*>(data);
      char16_t* const start = to;
      for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t c = p[i];
        if (c >= 0x10000) {
          *to++ = static_cast<char16_t>(0xD800u + ((c - 0x10000u) >> 10));
          *to++ = static_cast<char16_t>(0xDC00u + ((c - 0x10000u) & 0x3FFu));
        } else {
          if ((c & 0xF800u) == 0xD800u) return {0, i, found.line_break};
          found.line_break |= (c == u'\n') | (c == u'\r');
          *to++ = static_cast<char16_t>(c);
        }
      }
      found.units = static_cast<std::size_t>(to - start);
      return found;
    }
  }
}

// write_utf16 appending to `out`.
Appended append_utf16(PyObject* text, std::u16string& out) {
  const std::size_t at = out.size();
  out.resize(at + max_utf16(static_cast<std::size_t>(PyUnicode_GET_LENGTH(text))));
  const Appended found = write_utf16(text, out.data() + at);
  out.resize(at + found.units);
  return found;
}

[[noreturn]] void lone_surrogate(PyObject* text, std::size_t index, const std::string& what) {
  char code[8];
  std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(PyUnicode_READ_CHAR(text, index)));
  throw py::value_error(what + " holds a lone surrogate (U+" + code + ") at index " + std::to_string(index) +
                        "; it cannot be scrambled");
}

// A str, made ready; a TypeError naming `what` for anything else.
PyObject* checked_str(py::handle value, const std::string& what) {
  if (!PyUnicode_Check(value.ptr())) wrong_type(what, "str", value);
  if (PyUnicode_READY(value.ptr()) != 0) throw py::error_already_set();
  return value.ptr();
}

// A str as UTF-16, unchanged otherwise; a ValueError for a lone surrogate.
std::u16string utf16_of(py::handle value, const std::string& what, Appended* found = nullptr) {
  PyObject* text = checked_str(value, what);
  std::u16string out;
  const Appended appended = append_utf16(text, out);
  if (appended.lone_surrogate != kNone) lone_surrogate(text, appended.lone_surrogate, what);
  if (found != nullptr) *found = appended;
  return out;
}

// A str as the engine takes it: UTF-16 with CR LF line breaks.
std::u16string engine_text(py::handle value, const std::string& what) {
  Appended found;
  auto text = utf16_of(value, what, &found);
  return found.line_break ? tq::to_crlf(text) : text;
}

// What a str of given UTF-16 units needs: its widest character (a surrogate
// pair counts as 0x10FFFF) and the number of surrogate pairs.
struct StrShape {
  Py_UCS4 widest = 0;
  std::size_t pairs = 0;
};

StrShape shape_of(std::u16string_view units) {
  StrShape shape;
  char16_t widest = 0;
  for (const char16_t unit : units) widest = std::max(widest, unit);  // vectorised
  if (widest < 0xD800) return {widest, 0};
  const std::size_t n = units.size();
  for (std::size_t i = 0; i < n; ++i) {
    if ((units[i] & 0xFC00u) == 0xD800u && i + 1 < n && (units[i + 1] & 0xFC00u) == 0xDC00u) {
      ++shape.pairs, ++i;
      shape.widest = 0x10FFFF;
    } else {
      shape.widest = std::max<Py_UCS4>(shape.widest, units[i]);
    }
  }
  return shape;
}

// A new str of the UTF-16 `units` of the given shape, a surrogate pair as one
// character; needs the GIL.
//   new_str(u"Gr\u00FC\u00DFe", shape_of(...)) is 'Grüße', one byte per character
py::str new_str(std::u16string_view units, StrShape shape) {
  PyObject* text = PyUnicode_New(static_cast<Py_ssize_t>(units.size() - shape.pairs), shape.widest);
  if (text == nullptr) throw py::error_already_set();
  void* data = PyUnicode_DATA(text);
  if (shape.widest < 0x100) {
    std::copy(units.begin(), units.end(), static_cast<Py_UCS1*>(data));
  } else if (shape.pairs == 0) {
    std::copy(units.begin(), units.end(), static_cast<Py_UCS2*>(data));
  } else {
    auto* to = static_cast<Py_UCS4*>(data);
    for (std::size_t i = 0; i < units.size(); ++i) {
      const Py_UCS4 unit = units[i];
      if ((unit & 0xFC00u) == 0xD800u && i + 1 < units.size() && (units[i + 1] & 0xFC00u) == 0xDC00u) {
        *to++ = 0x10000u + ((unit - 0xD800u) << 10) + (units[i + 1] - 0xDC00u);
        ++i;
      } else {
        *to++ = unit;
      }
    }
  }
  return py::reinterpret_steal<py::str>(text);
}

// A result of the engine as a str with LF line breaks, as the filter writes it.
py::str python_text(std::u16string result) {
  if (result.find(u'\r') != std::u16string::npos) result = tq::crlf_to_lf(std::move(result));
  return new_str(result, shape_of(result));
}

// An int (or anything with __index__, such as numpy's integers; not a bool)
// from 0 to `most`; a ValueError naming `what` outside that range.
std::uint64_t integer(py::handle value, const std::string& what, std::uint64_t most) {
  if (PyBool_Check(value.ptr()) || !PyIndex_Check(value.ptr())) wrong_type(what, "int", value);
  const auto index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
  if (!index) throw py::error_already_set();
  const unsigned long long n = PyLong_AsUnsignedLongLong(index.ptr());
  const bool failed = n == static_cast<unsigned long long>(-1) && PyErr_Occurred();
  if (failed) PyErr_Clear();  // negative or beyond 64 bits
  if (failed || n > most) {
    throw py::value_error(what + " must be an integer from 0 to " + std::to_string(most) + ", not " +
                          shown(value));
  }
  return n;
}

std::uint32_t seed_of(py::handle seed) {
  return static_cast<std::uint32_t>(integer(seed, "seed", std::numeric_limits<std::uint32_t>::max()));
}

// The engine's options from the keyword arguments of the same names, checked
// with the engine's own rules (tq::validate).
struct OptionArguments {
  py::object mode, min_length, rate, always_change, keep;

  tq::ScrambleOptions parse() const {
    tq::ScrambleOptions options;
    if (!PyUnicode_Check(mode.ptr())) wrong_type("mode", "str", mode);
    const auto known = std::find_if(std::begin(kModes), std::end(kModes), [&](const auto& entry) {
      return PyUnicode_CompareWithASCIIString(mode.ptr(), entry.first.data()) == 0;
    });
    if (known == std::end(kModes)) {
      std::string names;
      for (const auto& entry : kModes) names += (names.empty() ? "'" : " or '") + std::string(entry.first) + "'";
      throw py::value_error("mode must be " + names + ", not " + shown(mode));
    }
    options.mode = known->second;
    options.min_length = static_cast<std::size_t>(
        integer(min_length, "min_length", std::numeric_limits<std::size_t>::max()));
    if (PyBool_Check(rate.ptr()) || !(PyFloat_Check(rate.ptr()) || PyLong_Check(rate.ptr()))) {
      wrong_type("rate", "float", rate);
    }
    options.rate = PyFloat_AsDouble(rate.ptr());
    if (options.rate == -1.0 && PyErr_Occurred()) {
      PyErr_Clear();
      throw py::value_error("rate must be between 0 and 1, not " + shown(rate));
    }
    if (!PyBool_Check(always_change.ptr())) wrong_type("always_change", "bool", always_change);
    options.always_change = always_change.ptr() == Py_True;
    if (PyUnicode_Check(keep.ptr()) || !py::isinstance<py::iterable>(keep)) {
      wrong_type("keep", "an iterable of str", keep);
    }
    std::size_t index = 0;
    for (const auto word : keep) options.keep.push_back(utf16_of(word, element("keep", index++)));
    try {
      tq::validate(options);
    } catch (const tq::InvalidOption& error) {
      throw py::value_error(invalid_option_message(error));
    }
    return options;
  }

 private:
  // The engine names the option; the range is said here, in the user's terms.
  std::string invalid_option_message(const tq::InvalidOption& error) const {
    const std::string_view option = error.option();
    if (option == "min_length") return "min_length must be at least 4, not " + shown(min_length);
    if (option == "rate") return "rate must be between 0 and 1, not " + shown(rate);
    if (option == "mode") return "mode " + shown(mode) + " is not available in this version";
    return std::string(option) + " is out of range";
  }
};

// Runs work(b) for each block b in [0, blocks) on up to `threads` threads
// (the calling one among them), each with a worker of its own from
// make_worker(), handing out the blocks in turn; the calling thread calls
// between() after each of its blocks. The first exception stops the rest and
// is rethrown once every thread has ended.
template <typename MakeWorker, typename Between>
void run_parallel(std::size_t blocks, std::size_t threads, const MakeWorker& make_worker, const Between& between) {
  threads = std::max<std::size_t>(1, std::min(threads, blocks));
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  std::exception_ptr failure;
  std::mutex failure_mutex;
  auto run = [&](bool calling) {
    try {
      auto work = make_worker();
      for (std::size_t block; !stop.load(std::memory_order_relaxed) &&
                              (block = next.fetch_add(1, std::memory_order_relaxed)) < blocks;) {
        work(block);
        if (calling) between();
      }
    } catch (...) {
      stop = true;
      const std::lock_guard lock(failure_mutex);
      if (!failure) failure = std::current_exception();
    }
  };
  std::vector<std::thread> helpers;
  try {
    helpers.reserve(threads - 1);
    for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(run, false);
  } catch (...) {
    // No more threads to be had: the ones started and this one do the work.
  }
  run(true);
  for (auto& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

// The cores this process may run on (its affinity, as os.sched_getaffinity
// gives it), at least one.
std::size_t cores() {
#if defined(__linux__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}

std::size_t thread_count(py::handle threads) {
  if (threads.is_none()) return cores();
  if (PyBool_Check(threads.ptr()) || !PyIndex_Check(threads.ptr())) wrong_type("threads", "int or None", threads);
  const auto n = integer(threads, "threads", 1024);
  if (n == 0) throw py::value_error("threads must be an integer from 1 to 1024, not 0");
  return static_cast<std::size_t>(n);
}

tq::RecordKey record_key(py::handle key, std::size_t index) {
  const std::string what = element("keys", index);
  if (PyUnicode_Check(key.ptr())) {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(key.ptr(), &size);
    if (utf8 == nullptr) {
      PyErr_Clear();
      throw py::value_error(what + " holds a lone surrogate; a key must be valid Unicode");
    }
    return tq::RecordKey::text(std::string_view(utf8, static_cast<std::size_t>(size)));
  }
  if (PyBool_Check(key.ptr()) || !PyIndex_Check(key.ptr())) wrong_type(what, "int or str", key);
  return tq::RecordKey::number(integer(key, what, std::numeric_limits<std::uint64_t>::max()));
}

// The elements of an iterable argument other than a str (a str would be taken
// character by character, which is never what is meant).
py::sequence elements(py::handle values, const std::string& what, const std::string& of) {
  if (PyUnicode_Check(values.ptr()) || !py::isinstance<py::iterable>(values)) {
    wrong_type(what, "an iterable of " + of, values);
  }
  if (PyList_Check(values.ptr()) || PyTuple_Check(values.ptr())) {
    return py::reinterpret_borrow<py::sequence>(values);
  }
  const auto list = py::reinterpret_steal<py::object>(PySequence_List(values.ptr()));
  if (!list) throw py::error_already_set();
  return py::reinterpret_borrow<py::sequence>(list);
}

py::str scramble(py::handle text, py::handle seed, const OptionArguments& arguments) {
  const auto options = arguments.parse();
  const auto start = seed_of(seed);
  const auto input = engine_text(text, "text");
  std::u16string result;
  {
    const py::gil_scoped_release unlocked;
    tq::DefaultRandom random(start);
    result = tq::scramble(input, random, options);
  }
  return python_text(std::move(result));
}

// Records scrambled on one thread: one engine Scrambler whose generator is
// set to each record's in turn, as the filter does per line, and the
// results appended one after the other to their block's buffer.
struct RecordBlock {
  std::size_t begin = 0, end = 0;  // the records [begin, end)
  std::size_t size = 0;            // their characters
  std::u16string results;          // their results, with LF line breaks
  std::vector<std::size_t> ends;   // where each ends in `results`
  std::vector<StrShape> shapes;    // and what its str needs
};

// A text that holds a lone surrogate, found while scrambling without the GIL.
struct LoneSurrogate {
  std::size_t record, index;
};

// Asks for the first `lines` cache lines of a str (its header, then its
// first characters) to be brought into the cache: the strs of a list lie all
// over the heap, and a record waited for its str about as long as it took to
// convert it.
inline void prefetch_str(PyObject* text, int lines) {
#if defined(__GNUC__)
  const char* const at = reinterpret_cast<const char*>(text);
  for (int line = 0; line < lines; ++line) __builtin_prefetch(at + 64 * line);
#else
  (void)text, (void)lines;
#endif
}

class RecordWorker {
 public:
  // Keys: one per record, or none for the keys 1, 2, 3, ...
  RecordWorker(std::uint32_t seed, const std::vector<tq::RecordKey>& keys, const std::vector<PyObject*>& texts,
               const tq::ScrambleOptions& options)
      : seed_(seed), keys_(keys), texts_(texts), random_(seed, tq::RecordKey::number(0)), scrambler_(random_, options) {}

  void operator()(RecordBlock& block) {
    // A result is about as long as its text (spaces shrink, a space may come
    // before a line break, a character beyond U+FFFF takes two units).
    block.results.reserve(block.size + block.size / 8 + 16);
    block.ends.reserve(block.end - block.begin);
    block.shapes.reserve(block.end - block.begin);
    for (std::size_t i = block.begin; i < block.end; ++i) {
      PyObject* const text = texts_[i];
      if (i + 2 < block.end) prefetch_str(texts_[i + 2], 3);
      // One buffer for every record, grown to the longest: no allocation
      // and no clearing per record.
      const std::size_t most = max_utf16(static_cast<std::size_t>(PyUnicode_GET_LENGTH(text)));
      if (buffer_.size() < most) buffer_.resize(std::max(most, 2 * buffer_.size()));
      const Appended found = write_utf16(text, buffer_.data());
      if (found.lone_surrogate != kNone) throw LoneSurrogate{i, found.lone_surrogate};
      std::u16string_view input(buffer_.data(), found.units);
      std::u16string crlf;
      if (found.line_break) input = crlf = tq::to_crlf(input);
      random_ = tq::RecordRandom(seed_, keys_.empty() ? tq::RecordKey::number(i + 1) : keys_[i]);
      const std::size_t from = block.results.size();
      scrambler_.push_last(input, block.results);
      if (found.line_break) {  // the engine writes no CR of its own
        auto result = block.results.substr(from);
        block.results.resize(from);
        block.results += tq::crlf_to_lf(std::move(result));
      }
      block.ends.push_back(block.results.size());
      block.shapes.push_back(shape_of(std::u16string_view(block.results).substr(from)));
    }
  }

 private:
  std::uint32_t seed_;
  const std::vector<tq::RecordKey>& keys_;
  const std::vector<PyObject*>& texts_;
  tq::RecordRandom random_;
  tq::Scrambler scrambler_;  // draws from random_
  std::u16string buffer_;    // the record's text as UTF-16
};

py::list scramble_many(py::handle texts, py::handle keys, py::handle seed, py::handle threads,
                       const OptionArguments& arguments) {
  const auto options = arguments.parse();
  const auto start = seed_of(seed);
  const auto workers = thread_count(threads);
  if (PyUnicode_Check(texts.ptr()) || !py::isinstance<py::iterable>(texts)) {
    wrong_type("texts", "an iterable of str", texts);
  }
  // A tuple of our own keeps the texts alive, whatever other threads do to
  // the caller's list while the GIL is released.
  const auto items = py::reinterpret_steal<py::tuple>(PySequence_Tuple(texts.ptr()));
  if (!items) throw py::error_already_set();
  const std::size_t n = items.size();

  std::vector<tq::RecordKey> record_keys;
  if (!keys.is_none()) {
    const auto key_list = elements(keys, "keys", "int or str");
    if (key_list.size() != n) {
      throw py::value_error("keys and texts differ in length: " + std::to_string(key_list.size()) +
                            " keys for " + std::to_string(n) + " texts");
    }
    record_keys.reserve(n);
    for (std::size_t i = 0; i < n; ++i) record_keys.push_back(record_key(key_list[i], i));
  }

  // Blocks of up to 64 records or about 32,768 characters, whichever is reached first.
  std::vector<PyObject*> strs(n);
  std::vector<RecordBlock> blocks;
  std::size_t block_size = 0;
  for (std::size_t i = 0; i < n; ++i) {
    PyObject* text = PyTuple_GET_ITEM(items.ptr(), static_cast<Py_ssize_t>(i));
    if (i + 8 < n) prefetch_str(PyTuple_GET_ITEM(items.ptr(), static_cast<Py_ssize_t>(i + 8)), 1);  // its length
    strs[i] = PyUnicode_Check(text) && PyUnicode_IS_READY(text) ? text : checked_str(text, element("texts", i));
    if (blocks.empty() || blocks.back().end - blocks.back().begin == 64 || block_size >= 32768) {
      blocks.emplace_back().begin = i;
      block_size = 0;
    }
    blocks.back().end = i + 1;
    blocks.back().size += static_cast<std::size_t>(PyUnicode_GET_LENGTH(strs[i]));
    block_size += static_cast<std::size_t>(PyUnicode_GET_LENGTH(strs[i]));
  }

  // The strs are made by the calling thread, with the GIL, block by block
  // in order as the blocks are done, between blocks of its own: so they are
  // made while the other threads still scramble, and each block's buffer
  // goes as soon as its strs are made.
  py::list results(n);
  const std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[blocks.size()]);
  for (std::size_t b = 0; b < blocks.size(); ++b) done[b].store(false, std::memory_order_relaxed);
  std::size_t made = 0;  // the blocks whose strs are made
  const auto make_strs = [&] {
    for (; made < blocks.size() && done[made].load(std::memory_order_acquire); ++made) {
      RecordBlock& block = blocks[made];
      std::size_t from = 0;
      for (std::size_t i = block.begin; i < block.end; ++i) {
        const std::size_t to = block.ends[i - block.begin];
        PyList_SET_ITEM(results.ptr(), static_cast<Py_ssize_t>(i),
                        new_str(std::u16string_view(block.results).substr(from, to - from), block.shapes[i - block.begin])
                            .release()
                            .ptr());
        from = to;
      }
      block.results = std::u16string();
    }
  };
  try {
    const py::gil_scoped_release unlocked;
    run_parallel(
        blocks.size(), workers,
        [&] {
          return [&, worker = std::make_unique<RecordWorker>(start, record_keys, strs, options)](std::size_t b) {
            (*worker)(blocks[b]);
            done[b].store(true, std::memory_order_release);
          };
        },
        [&] {
          if (made < blocks.size() && done[made].load(std::memory_order_acquire)) {
            const py::gil_scoped_acquire locked;
            make_strs();
          }
        });
  } catch (const LoneSurrogate& found) {
    lone_surrogate(strs[found.record], found.index, element("texts", found.record));
  }
  make_strs();  // the blocks the other threads ended with
  return results;
}

// One generator across calls, as the window has one from its start: the n-th
// call gives the n-th press. A call that fails leaves the generator where it
// was, so the next call gives what the failed one would have given.
class Scrambler {
 public:
  Scrambler(std::uint32_t seed, tq::ScrambleOptions options)
      : seed_(seed), options_(std::move(options)), random_(seed) {}

  // The lock is held to the end of the call (the result made a str
  // included), so that a failed call rewinds no other call's draws.
  py::str scramble(py::handle text) {
    const auto input = engine_text(text, "text");
    const py::gil_scoped_release unlocked;
    const std::lock_guard lock(mutex_);
    const std::uint64_t before = random_.drawn();
    try {
      auto result = tq::scramble(input, random_, options_);
      const py::gil_scoped_acquire locked;
      return python_text(std::move(result));
    } catch (...) {
      rewind(before);
      throw;
    }
  }

 private:
  // Back to the state after `drawn` values: a fresh generator skips them.
  void rewind(std::uint64_t drawn) {
    random_ = tq::DefaultRandom(seed_);
    random_.discard(drawn);
  }

  std::uint32_t seed_;
  tq::ScrambleOptions options_;
  tq::DefaultRandom random_;
  std::mutex mutex_;
};

std::string word_too_long_message(const tq::WordTooLong& error) {
  switch (error.limit()) {
    case tq::WordTooLong::Limit::kShuffle:
      return "a word has more than 4294967295 characters to shuffle, beyond the engine's limits";
    case tq::WordTooLong::Limit::kSplit:
      return "a word of 2147483648 UTF-16 units or more cannot be split into characters";
  }
  return "a word is too long for the engine";
}

}  // namespace

PYBIND11_MODULE(_textquirl, m) {
  m.doc() = "The Textquirl engine: readable jumbled letters (see the package textquirl).";
  m.attr("__version__") = TEXTQUIRL_VERSION;

  static py::exception<tq::WordTooLong> word_too_long(m, "WordTooLongError", PyExc_ValueError);
  word_too_long.attr("__module__") = "textquirl";
  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const tq::WordTooLong& error) {
      word_too_long(word_too_long_message(error).c_str());
    }
  });

  // The defaults are the engine's.
  const tq::ScrambleOptions defaults;
  const py::arg_v seed = py::arg("seed") = py::int_(tq::DefaultRandom::kDefaultSeed);
  const py::arg_v mode = py::arg("mode") = py::str(std::string(mode_name(defaults.mode)));
  const py::arg_v min_length = py::arg("min_length") = py::int_(defaults.min_length);
  const py::arg_v rate = py::arg("rate") = py::float_(defaults.rate);
  const py::arg_v always_change = py::arg("always_change") = py::bool_(defaults.always_change);
  const py::arg_v keep = py::arg("keep") = py::tuple();

  // Signatures as Python writes them (inspect.signature reads them).
  const std::string option_parameters = "mode=" + shown(mode.value) + ", min_length=" + shown(min_length.value) +
                                        ", rate=" + shown(rate.value) + ", always_change=" +
                                        shown(always_change.value) + ", keep=" + shown(keep.value);
  const std::string seed_parameter = "seed=" + shown(seed.value);
  static const std::string scramble_doc =
      "scramble(text, *, " + seed_parameter + ", " + option_parameters + ")\n--\n\n" +
      "Scrambles text with a fresh generator started from seed: the result of\n"
      "textquirl-cli --seed SEED with the same options on the same text.";
  static const std::string scramble_many_doc =
      "scramble_many(texts, *, keys=None, " + seed_parameter + ", threads=None, " + option_parameters +
      ")\n--\n\n"
      "Scrambles each text as a record of its own, with a generator started from\n"
      "(seed, key): keys are ints or strs, by default 1, 2, 3, ... so that the lines\n"
      "of a file give the lines of textquirl-cli --per-line. The result does not\n"
      "depend on batching, order or threads (default: one per core this process may use).";
  static const std::string scrambler_init_doc =
      "__init__(self, /, *, " + seed_parameter + ", " + option_parameters + ")\n--\n\n";

  py::options signatures;
  signatures.disable_function_signatures();
  m.def(
      "scramble",
      [](py::handle text, py::handle seed, py::object mode, py::object min_length, py::object rate,
         py::object always_change, py::object keep) {
        return scramble(text, seed, {mode, min_length, rate, always_change, keep});
      },
      py::arg("text"), py::kw_only(), seed, mode, min_length, rate, always_change, keep, scramble_doc.c_str());

  m.def(
      "scramble_many",
      [](py::handle texts, py::handle keys, py::handle seed, py::handle threads, py::object mode,
         py::object min_length, py::object rate, py::object always_change, py::object keep) {
        return scramble_many(texts, keys, seed, threads, {mode, min_length, rate, always_change, keep});
      },
      py::arg("texts"), py::kw_only(), py::arg("keys") = py::none(), seed, py::arg("threads") = py::none(), mode,
      min_length, rate, always_change, keep, scramble_many_doc.c_str());

  py::class_<Scrambler>(m, "Scrambler",
                        "One generator across calls, started from seed: the n-th call of\n"
                        "scramble() gives what the n-th press gives after a fresh start of\n"
                        "the window. A call that fails draws nothing.")
      .def(py::init([](py::handle seed, py::object mode, py::object min_length, py::object rate,
                       py::object always_change, py::object keep) {
             const OptionArguments arguments{mode, min_length, rate, always_change, keep};
             return std::make_unique<Scrambler>(seed_of(seed), arguments.parse());
           }),
           py::kw_only(), seed, mode, min_length, rate, always_change, keep, scrambler_init_doc.c_str())
      .def("scramble", &Scrambler::scramble, py::arg("text"),
           "scramble(self, /, text)\n--\n\nScrambles text with the next values of this scrambler's generator.");
}
