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

// A str as UTF-16, unchanged otherwise. A str may hold a lone surrogate
// (U+D800 to U+DFFF), which UTF-16 cannot carry: a ValueError naming `what`
// and the index.
//   utf16_of("Grüße 👋") == u"Grüße 👋" (the emoji as a surrogate pair)
std::u16string utf16_of(py::handle value, const std::string& what) {
  if (!PyUnicode_Check(value.ptr())) wrong_type(what, "str", value);
  PyObject* text = value.ptr();
  if (PyUnicode_READY(text) != 0) throw py::error_already_set();
  const auto length = static_cast<std::size_t>(PyUnicode_GET_LENGTH(text));
  const void* data = PyUnicode_DATA(text);
  auto lone_surrogate = [&](std::size_t index, std::uint32_t c) {
    char code[8];
    std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(c));
    throw py::value_error(what + " holds a lone surrogate (U+" + code + ") at index " +
                          std::to_string(index) + "; it cannot be scrambled");
  };
  std::u16string out;
  switch (PyUnicode_KIND(text)) {
    case PyUnicode_1BYTE_KIND: {
      const auto* p = static_cast<const Py_UCS1*>(data);
      out.assign(p, p + length);
      break;
    }
    case PyUnicode_2BYTE_KIND: {
      const auto* p = static_cast<const Py_UCS2*>(data);
      for (std::size_t i = 0; i < length; ++i) {
        if ((p[i] & 0xF800u) == 0xD800u) lone_surrogate(i, p[i]);
      }
      out.assign(p, p + length);
      break;
    }
    default: {
      const auto* p = static_cast<const Py_UCS4*>(data);
      out.reserve(length + length / 4);
      for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t c = p[i];
        if (c >= 0x10000) {
          out.push_back(static_cast<char16_t>(0xD800u + ((c - 0x10000u) >> 10)));
          out.push_back(static_cast<char16_t>(0xDC00u + ((c - 0x10000u) & 0x3FFu)));
        } else {
          if ((c & 0xF800u) == 0xD800u) lone_surrogate(i, c);
          out.push_back(static_cast<char16_t>(c));
        }
      }
    }
  }
  return out;
}

// The engine's text for a str: UTF-16 with CR LF line breaks.
std::u16string engine_text(py::handle value, const std::string& what) {
  return tq::to_crlf(utf16_of(value, what));
}

// A result of the engine as a str with LF line breaks, as the filter writes it.
py::str python_text(std::u16string result) {
  result = tq::crlf_to_lf(std::move(result));
  int byte_order = std::endian::native == std::endian::little ? -1 : 1;
  PyObject* text = PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(result.data()),
                                         static_cast<Py_ssize_t>(result.size() * 2), "strict",
                                         &byte_order);
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(text);
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
    const auto name = mode.cast<std::string>();
    const auto known = std::find_if(std::begin(kModes), std::end(kModes),
                                    [&](const auto& entry) { return entry.first == name; });
    if (known == std::end(kModes)) {
      throw py::value_error("mode must be 'classic' or 'careful', not " + shown(mode));
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

// Runs work(i) for each i in [0, n) on up to `threads` threads (the calling
// one among them), handing out blocks of indices in turn. The first exception
// stops the rest and is rethrown once every thread has ended.
template <typename Work>
void run_parallel(std::size_t n, std::size_t threads, const Work& work) {
  constexpr std::size_t kBlock = 64;
  const std::size_t blocks = (n + kBlock - 1) / kBlock;
  threads = std::max<std::size_t>(1, std::min(threads, blocks));
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  std::exception_ptr failure;
  std::mutex failure_mutex;
  auto worker = [&] {
    try {
      for (std::size_t block; !stop.load(std::memory_order_relaxed) &&
                              (block = next.fetch_add(1, std::memory_order_relaxed)) < blocks;) {
        const std::size_t end = std::min(n, (block + 1) * kBlock);
        for (std::size_t i = block * kBlock; i < end; ++i) work(i);
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
    for (std::size_t t = 1; t < threads; ++t) helpers.emplace_back(worker);
  } catch (...) {
    // No more threads to be had: the ones started and this one do the work.
  }
  worker();
  for (auto& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

std::size_t thread_count(py::handle threads) {
  if (threads.is_none()) return std::max(1u, std::thread::hardware_concurrency());
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

py::list scramble_many(py::handle texts, py::handle keys, py::handle seed, py::handle threads,
                       const OptionArguments& arguments) {
  const auto options = arguments.parse();
  const auto start = seed_of(seed);
  const auto workers = thread_count(threads);
  const auto text_list = elements(texts, "texts", "str");
  const std::size_t n = text_list.size();
  std::vector<tq::RecordKey> record_keys;
  record_keys.reserve(n);
  if (keys.is_none()) {
    for (std::size_t i = 0; i < n; ++i) record_keys.push_back(tq::RecordKey::number(i + 1));
  } else {
    const auto key_list = elements(keys, "keys", "int or str");
    if (key_list.size() != n) {
      throw py::value_error("keys and texts differ in length: " + std::to_string(key_list.size()) +
                            " keys for " + std::to_string(n) + " texts");
    }
    for (std::size_t i = 0; i < n; ++i) record_keys.push_back(record_key(key_list[i], i));
  }
  std::vector<std::u16string> records(n);
  for (std::size_t i = 0; i < n; ++i) records[i] = engine_text(text_list[i], element("texts", i));
  {
    const py::gil_scoped_release unlocked;
    run_parallel(n, workers, [&](std::size_t i) {
      records[i] = tq::scramble_record(records[i], start, record_keys[i], options);
    });
  }
  py::list results(n);
  for (std::size_t i = 0; i < n; ++i) {
    results[i] = python_text(std::move(records[i]));
    records[i] = std::u16string();
  }
  return results;
}

// One generator across calls, as the window has one from its start: the n-th
// call gives the n-th press. A call that fails leaves the generator where it
// was, so the next call gives what the failed one would have given.
class Scrambler {
 public:
  Scrambler(std::uint32_t seed, tq::ScrambleOptions options)
      : seed_(seed), options_(std::move(options)), random_(seed) {}

  py::str scramble(py::handle text) {
    const auto input = engine_text(text, "text");
    std::u16string result;
    std::uint64_t before = 0;
    {
      const py::gil_scoped_release unlocked;
      const std::lock_guard lock(mutex_);
      before = random_.drawn();
      try {
        result = tq::scramble(input, random_, options_);
      } catch (...) {
        rewind(before);
        throw;
      }
    }
    try {
      return python_text(std::move(result));
    } catch (...) {
      const py::gil_scoped_release unlocked;
      const std::lock_guard lock(mutex_);
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

  m.def(
      "scramble",
      [](py::handle text, py::handle seed, py::object mode, py::object min_length, py::object rate,
         py::object always_change, py::object keep) {
        return scramble(text, seed, {mode, min_length, rate, always_change, keep});
      },
      py::arg("text"), py::kw_only(), seed, mode, min_length, rate, always_change, keep,
      "Scrambles text with a fresh generator started from seed: the result of\n"
      "textquirl-cli --seed SEED with the same options on the same text.");

  m.def(
      "scramble_many",
      [](py::handle texts, py::handle keys, py::handle seed, py::handle threads, py::object mode,
         py::object min_length, py::object rate, py::object always_change, py::object keep) {
        return scramble_many(texts, keys, seed, threads, {mode, min_length, rate, always_change, keep});
      },
      py::arg("texts"), py::kw_only(), py::arg("keys") = py::none(), seed,
      py::arg("threads") = py::none(), mode, min_length, rate, always_change, keep,
      "Scrambles each text as a record of its own, with a generator started from\n"
      "(seed, key): keys are ints or strs, by default 1, 2, 3, ... so that the lines\n"
      "of a file give the lines of textquirl-cli --per-line. The result does not\n"
      "depend on batching, order or threads (default: one per core).");

  py::class_<Scrambler>(m, "Scrambler",
                        "One generator across calls, started from seed: the n-th call of\n"
                        "scramble() gives what the n-th press gives after a fresh start of\n"
                        "the window. A call that fails draws nothing.")
      .def(py::init([](py::handle seed, py::object mode, py::object min_length, py::object rate,
                       py::object always_change, py::object keep) {
             const OptionArguments arguments{mode, min_length, rate, always_change, keep};
             return std::make_unique<Scrambler>(seed_of(seed), arguments.parse());
           }),
           py::kw_only(), seed, mode, min_length, rate, always_change, keep)
      .def("scramble", &Scrambler::scramble, py::arg("text"),
           "Scrambles text with the next values of this scrambler's generator.");
}
