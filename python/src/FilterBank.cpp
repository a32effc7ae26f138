// OneEuroFilterManager for Python: per-sample calls, block smoothing over NumPy arrays without
// the GIL, copies and pickling, and the module function smooth().

#include "Bindings.hpp"

#include <pelto/filters/OneEuroFilterManager.hpp>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace pelto::python {
namespace {

// Version of the pickled state's layout: 2 holds the parameters, the construction choices and the
// bank's saved state; 1, what the package pickled before the choices existed, still loads.
constexpr std::int64_t STATE_FORMAT = 2;
constexpr std::int64_t STATE_FORMAT_WITHOUT_CHOICES = 1;

// A bank as Python holds it. A block call runs without the GIL; `busy` keeps other threads away
// from the bank meanwhile. It is only read and written with the GIL held.
struct Bank {
    OneEuroFilterManager filters;
    bool busy = false;
};

// Marks a bank busy for the life of the guard; refuses a bank that another thread is using.
class BusyGuard {
  public:
    explicit BusyGuard(Bank& bank)
        : bank_(bank) {
        if (bank_.busy) {
            throw std::runtime_error("this OneEuroFilterManager is smoothing a block on another "
                                     "thread; a bank takes one call at a time");
        }
        bank_.busy = true;
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;
    BusyGuard(BusyGuard&&) = delete;
    BusyGuard& operator=(BusyGuard&&) = delete;
    ~BusyGuard() { bank_.busy = false; }

  private:
    Bank& bank_;
};

} // namespace
} // namespace pelto::python

PELTO_PYTHON_CONSTRUCTED_ONLY(pelto::python::Bank);

namespace pelto::python {
namespace {

const Bank& idle(const Bank& bank) {
    if (bank.busy) {
        throw std::runtime_error("this OneEuroFilterManager is smoothing a block on another "
                                 "thread; a bank takes one call at a time");
    }
    return bank;
}

std::size_t channelsOf(const OneEuroFilterManager& bank) {
    return bank.filteredValues().size();
}

struct BlockResult {
    py::array_t<double> smoothed;
    py::array_t<bool> accepted;
};

// Runs the block through the bank without the GIL. With `refusedAsNan`, refused rows read NaN.
BlockResult runBlock(Bank& bank, const Block& block, bool refusedAsNan) {
    const BusyGuard guard(bank);
    const auto rows = static_cast<py::ssize_t>(block.rows);
    const auto channels = static_cast<py::ssize_t>(block.channels);
    BlockResult result{block.values.ndim() == 1 ? py::array_t<double>(rows)
                                                : py::array_t<double>({rows, channels}),
                       py::array_t<bool>(rows)};
    const std::size_t cells = block.rows * block.channels;
    const std::span<const double> timestamps(block.timestamps.data(), block.rows);
    const std::span<const double> values(block.values.data(), cells);
    const std::span<double> smoothed(result.smoothed.mutable_data(), cells);
    // NumPy's bool is one byte holding 0 or 1, as the flags are written.
    const std::span<std::uint8_t> accepted(
        static_cast<std::uint8_t*>(static_cast<void*>(result.accepted.mutable_data())), block.rows);
    {
        const py::gil_scoped_release released;
        bank.filters.filterSamples(timestamps, values, smoothed, accepted);
        if (refusedAsNan) {
            for (std::size_t row = 0; row < block.rows; ++row) {
                if (accepted[row] == 0) {
                    std::fill_n(smoothed.begin() +
                                    static_cast<std::ptrdiff_t>(row * block.channels),
                                block.channels, std::numeric_limits<double>::quiet_NaN());
                }
            }
        }
    }
    return result;
}

Bank makeBank(std::int64_t count, double freq, double minCutOff, double beta, double dCutOff,
              std::int64_t precision, std::int64_t derivative) {
    return Bank{OneEuroFilterManager(count, freq, minCutOff, beta, dCutOff,
                                     caseOf<TimestampPrecision>(precision, "precision"),
                                     caseOf<DerivativeSource>(derivative, "derivative"))};
}

py::tuple saveState(const Bank& bank) {
    const OneEuroFilterManager& filters = idle(bank).filters;
    const std::vector<std::byte> state = filters.saveState();
    return py::make_tuple(
        STATE_FORMAT, static_cast<std::int64_t>(filters.channelCount()), filters.frequency(),
        filters.minCutOff(), filters.beta(), filters.dCutOff(),
        rawValue(filters.timestampPrecision()), rawValue(filters.derivativeSource()),
        py::bytes(static_cast<const char*>(static_cast<const void*>(state.data())), state.size()));
}

// A state of format 1: the bank's shared words (last timestamp, started flag, derivative alpha,
// clock) and its four channel arrays, each rounded up to an even length, as 64-bit integers. It
// becomes what saveState() gives for the same bank: the saved format's header, then the words
// without the arrays' padding.
std::vector<std::byte> fromFormat1(const OneEuroFilterManager& bank,
                                   const std::vector<std::uint64_t>& words) {
    constexpr std::size_t SHARED_WORDS = 6;
    const std::size_t channels = bank.channelCount();
    const std::size_t lanes = (channels + 1) / 2 * 2;
    if (words.size() != SHARED_WORDS + 4 * lanes) {
        throw py::value_error("not a saved OneEuroFilterManager state");
    }
    std::vector<std::byte> state = bank.saveState(); // the header comes from the bank itself
    const std::size_t headerBytes = state.size() - 8 * (SHARED_WORDS + 4 * channels);
    std::byte* at = state.data() + headerBytes;
    auto put = [&at](std::uint64_t word) {
        for (int i = 0; i < 8; ++i) {
            *at++ = static_cast<std::byte>(word >> (8 * i));
        }
    };
    std::for_each_n(words.begin(), SHARED_WORDS, put);
    for (std::size_t array = 0; array < 4; ++array) {
        std::for_each_n(words.begin() + static_cast<std::ptrdiff_t>(SHARED_WORDS + array * lanes),
                        channels, put);
    }
    return state;
}

Bank loadState(const py::tuple& state) {
    const char* const refused = "not a saved OneEuroFilterManager state";
    const auto format = state.empty() ? 0 : state[0].cast<std::int64_t>();
    const bool withChoices = format == STATE_FORMAT && state.size() == 9;
    if (!withChoices && !(format == STATE_FORMAT_WITHOUT_CHOICES && state.size() == 7)) {
        throw py::value_error(refused);
    }
    Bank bank = makeBank(state[1].cast<std::int64_t>(), state[2].cast<double>(),
                         state[3].cast<double>(), state[4].cast<double>(), state[5].cast<double>(),
                         withChoices ? state[6].cast<std::int64_t>() : 0,
                         withChoices ? state[7].cast<std::int64_t>() : 0);
    std::vector<std::byte> saved;
    if (withChoices) {
        const std::string bytes = state[8].cast<py::bytes>();
        saved.resize(bytes.size());
        std::memcpy(saved.data(), bytes.data(), bytes.size());
    } else {
        saved = fromFormat1(bank.filters, state[6].cast<std::vector<std::uint64_t>>());
    }
    if (!bank.filters.restoreState(saved)) {
        throw py::value_error(refused);
    }
    return bank;
}

std::string reprOf(const Bank& bank) {
    const OneEuroFilterManager& filters = idle(bank).filters;
    const auto number = [](double value) {
        return py::repr(py::float_(value)).cast<std::string>();
    };
    // The construction choices only where they differ from the defaults.
    std::string choices;
    if (filters.timestampPrecision() != TimestampPrecision::WHOLE_MILLISECONDS) {
        choices += ", precision=TimestampPrecision." +
                   std::string(description(filters.timestampPrecision()));
    }
    if (filters.derivativeSource() != DerivativeSource::RAW) {
        choices +=
            ", derivative=DerivativeSource." + std::string(description(filters.derivativeSource()));
    }
    return "OneEuroFilterManager(count=" + std::to_string(filters.channelCount()) +
           ", freq=" + number(filters.frequency()) +
           ", min_cut_off=" + number(filters.minCutOff()) + ", beta=" + number(filters.beta()) +
           ", d_cut_off=" + number(filters.dCutOff()) + choices + ")";
}

} // namespace

std::string shapeText(const py::array& array) {
    std::string text = "(";
    for (py::ssize_t axis = 0; axis < array.ndim(); ++axis) {
        text += std::to_string(array.shape(axis));
        text += array.ndim() == 1 || axis + 1 < array.ndim() ? "," : "";
        text += axis + 1 < array.ndim() ? " " : "";
    }
    return text + ")";
}

Doubles toDoubles(const py::handle& input, const char* name) {
    const py::array array = py::module_::import("numpy").attr("asarray")(input);
    const char kind = array.dtype().kind();
    if (kind != 'f' && kind != 'i' && kind != 'u') {
        throw py::type_error(std::string(name) + " must hold real numbers (float or int), not " +
                             py::str(array.dtype()).cast<std::string>());
    }
    return Doubles::ensure(array);
}

// The checked inputs of a block call.
Block readBlock(const py::handle& timestamps, const py::handle& values, std::size_t expected) {
    Block block{toDoubles(timestamps, "timestamps"), toDoubles(values, "values")};
    if (block.timestamps.ndim() != 1) {
        throw py::value_error("timestamps must be one-dimensional, one per row; got shape " +
                              shapeText(block.timestamps));
    }
    const py::ssize_t dims = block.values.ndim();
    if (dims != 1 && dims != 2) {
        throw py::value_error("values must have shape (N, channels), or (N,) for one channel; "
                              "got shape " +
                              shapeText(block.values));
    }
    block.rows = static_cast<std::size_t>(block.timestamps.shape(0));
    block.channels = dims == 1 ? 1 : static_cast<std::size_t>(block.values.shape(1));
    if (static_cast<std::size_t>(block.values.shape(0)) != block.rows) {
        throw py::value_error(std::to_string(block.rows) + " timestamps but values of shape " +
                              shapeText(block.values) + ": one row of values per timestamp");
    }
    if (block.channels == 0) {
        throw py::value_error("values of shape " + shapeText(block.values) + " hold no channel");
    }
    if (expected != 0 && block.channels != expected) {
        throw py::value_error("values of shape " + shapeText(block.values) + " hold " +
                              std::to_string(block.channels) + " channel(s) per row; this bank " +
                              "smooths " + std::to_string(expected));
    }
    return block;
}

void bindFilterParameters(py::module_& module) {
    using M = OneEuroFilterManager;
    py::class_<FilterParameters>(
        module, "FilterParameters",
        "The four parameters of a filter bank, as its constructor takes them: what a bank's "
        "`parameters` reads back and what measure() and tune() report (Measurement.parameters). "
        "Immutable; equal when all four are.")
        .def(py::init([](double freq, double minCutOff, double beta, double dCutOff) {
                 return FilterParameters{
                     .freq = freq, .minCutOff = minCutOff, .beta = beta, .dCutOff = dCutOff};
             }),
             py::arg("freq") = M::DEFAULT_FREQUENCY,
             py::arg("min_cut_off") = M::DEFAULT_MIN_CUT_OFF, py::arg("beta") = M::DEFAULT_BETA,
             py::arg("d_cut_off") = M::DEFAULT_D_CUT_OFF,
             "Stores the four numbers as given; the class defaults for those not given.")
        .def_readonly("freq", &FilterParameters::freq, "Sampling frequency, Hz.")
        .def_readonly("min_cut_off", &FilterParameters::minCutOff, "Minimum cutoff, Hz.")
        .def_readonly("beta", &FilterParameters::beta, "Speed coefficient.")
        .def_readonly("d_cut_off", &FilterParameters::dCutOff, "Derivative cutoff, Hz.")
        .def(
            "__eq__",
            [](const FilterParameters& self, const py::object& other) -> py::object {
                if (!py::isinstance<FilterParameters>(other)) {
                    return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                }
                return py::bool_(self == other.cast<const FilterParameters&>());
            },
            py::is_operator())
        .def("__hash__",
             [](const FilterParameters& self) {
                 return py::hash(
                     py::make_tuple(self.freq, self.minCutOff, self.beta, self.dCutOff));
             })
        .def("__repr__", [](const FilterParameters& self) {
            const auto number = [](double value) {
                return py::repr(py::float_(value)).cast<std::string>();
            };
            return "FilterParameters(freq=" + number(self.freq) +
                   ", min_cut_off=" + number(self.minCutOff) + ", beta=" + number(self.beta) +
                   ", d_cut_off=" + number(self.dCutOff) + ")";
        });
}

void bindFilterBank(py::module_& module) {
    bindFilterParameters(module);
    using M = OneEuroFilterManager;
    py::class_<Bank> bank(
        module, "OneEuroFilterManager",
        "A bank of one-euro filters that smooths several channels sampled together, such as the "
        "x and y of a gaze point. Results are exact: the same inputs give the same bits as the "
        "C++ bank. Not synchronised: one thread at a time per bank.");
    bank.attr("DEFAULT_COUNT") = M::DEFAULT_COUNT;
    bank.attr("DEFAULT_FREQUENCY") = M::DEFAULT_FREQUENCY;
    bank.attr("DEFAULT_MIN_CUT_OFF") = M::DEFAULT_MIN_CUT_OFF;
    bank.attr("DEFAULT_BETA") = M::DEFAULT_BETA;
    bank.attr("DEFAULT_D_CUT_OFF") = M::DEFAULT_D_CUT_OFF;
    bank.def(py::init(&makeBank), py::arg("count") = M::DEFAULT_COUNT,
             py::arg("freq") = M::DEFAULT_FREQUENCY,
             py::arg("min_cut_off") = M::DEFAULT_MIN_CUT_OFF, py::arg("beta") = M::DEFAULT_BETA,
             py::arg("d_cut_off") = M::DEFAULT_D_CUT_OFF, py::kw_only(),
             py::arg("precision") = rawValue(TimestampPrecision::WHOLE_MILLISECONDS),
             py::arg("derivative") = rawValue(DerivativeSource::RAW),
             "A bank of `count` channels. A count of zero or less gives DEFAULT_COUNT channels; a "
             "frequency (Hz) or cutoff (Hz) of zero or less gives its default; beta is taken as "
             "given. `precision` (TimestampPrecision) says how timestamps are read: "
             "WHOLE_MILLISECONDS truncates them (camera clocks), EXACT keeps fractions and drops "
             "a repeated or earlier frame without a reset (research trackers). `derivative` "
             "(DerivativeSource) says what rates of change are taken against: RAW, the previous "
             "input, or FILTERED, the previous smoothed value (the filter's authors' current "
             "reference). Raises ValueError for a choice that is no case, ValueError or "
             "MemoryError when `count` channels cannot be held.")
        .def_property_readonly(
            "count", [](const Bank& self) { return channelsOf(idle(self).filters); },
            "The number of channels.")
        .def_property_readonly(
            "freq", [](const Bank& self) { return idle(self).filters.frequency(); },
            "The frequency in force (Hz), after a value of zero or less gave the default.")
        .def_property_readonly(
            "min_cut_off", [](const Bank& self) { return idle(self).filters.minCutOff(); },
            "The minimum cutoff in force (Hz).")
        .def_property_readonly(
            "beta", [](const Bank& self) { return idle(self).filters.beta(); },
            "The speed coefficient.")
        .def_property_readonly(
            "d_cut_off", [](const Bank& self) { return idle(self).filters.dCutOff(); },
            "The derivative cutoff in force (Hz).")
        .def_property_readonly(
            "parameters", [](const Bank& self) { return idle(self).filters.parameters(); },
            "The four parameters in force, as a FilterParameters.")
        .def_property_readonly(
            "precision",
            [](const Bank& self) {
                return toPython(idle(self).filters.timestampPrecision(), "TimestampPrecision");
            },
            "How the bank reads timestamps (TimestampPrecision).")
        .def_property_readonly(
            "derivative",
            [](const Bank& self) {
                return toPython(idle(self).filters.derivativeSource(), "DerivativeSource");
            },
            "What the bank takes rates of change against (DerivativeSource).")
        .def(
            "filter_values",
            [](Bank& self, double timestamp, const py::handle& values) {
                const Doubles sample = toDoubles(values, "values");
                if (sample.ndim() != 1) {
                    throw py::value_error("values must be one sample: one-dimensional, one value "
                                          "per channel; got shape " +
                                          shapeText(sample));
                }
                const BusyGuard guard(self);
                return self.filters.filterValues(
                    timestamp, std::span<const double>(sample.data(),
                                                       static_cast<std::size_t>(sample.size())));
            },
            py::arg("timestamp"), py::arg("values"),
            "Smooths one sample: `values` holds one value per channel, `timestamp` is in "
            "milliseconds (-1 means no timestamp), truncated toward zero unless the precision is "
            "EXACT. True when every channel was filtered. False, changing nothing, when `values` "
            "does not hold one value per channel or the timestamp is not a finite number (in "
            "[-2**63, 2**63) for WHOLE_MILLISECONDS), and with EXACT when it is not later than the "
            "previous one; False, resetting the bank, when a channel's result is not finite.")
        .def(
            "get_filtered_values",
            [](const Bank& self) {
                const std::span<const double> values = idle(self).filters.filteredValues();
                return py::array_t<double>(static_cast<py::ssize_t>(values.size()), values.data());
            },
            "A new array of the latest smoothed value of every channel: zeros before the first "
            "accepted sample and after a reset.")
        .def(
            "filter_samples",
            [](Bank& self, const py::handle& timestamps, const py::handle& values) {
                const Block block = readBlock(timestamps, values, channelsOf(idle(self).filters));
                BlockResult result = runBlock(self, block, false);
                return py::make_tuple(std::move(result.smoothed), std::move(result.accepted));
            },
            py::arg("timestamps"), py::arg("values"),
            "Smooths a block of samples in one call, without holding the GIL. `timestamps` has "
            "shape (N,); `values` has shape (N, count), or (N,) for a one-channel bank. Returns "
            "(smoothed, accepted): a float64 array of the shape of `values` and an (N,) bool "
            "array, row for row what filter_values and get_filtered_values give. Raises "
            "ValueError or TypeError, changing nothing, for inputs of the wrong shape or type.")
        .def("__copy__", [](const Bank& self) { return Bank{idle(self).filters}; })
        .def(
            "__deepcopy__",
            [](const Bank& self, const py::handle&) { return Bank{idle(self).filters}; },
            py::arg("memo"))
        .def(py::pickle(&saveState, &loadState))
        .def("__repr__", &reprOf);

    module.def(
        "smooth",
        [](const py::handle& timestamps, const py::handle& values, double freq, double minCutOff,
           double beta, double dCutOff, std::int64_t precision, std::int64_t derivative) {
            const Block block = readBlock(timestamps, values, 0);
            Bank fresh = makeBank(static_cast<std::int64_t>(block.channels), freq, minCutOff, beta,
                                  dCutOff, precision, derivative);
            return runBlock(fresh, block, true).smoothed;
        },
        py::arg("timestamps"), py::arg("values"), py::kw_only(),
        py::arg("freq") = M::DEFAULT_FREQUENCY, py::arg("min_cut_off") = M::DEFAULT_MIN_CUT_OFF,
        py::arg("beta") = M::DEFAULT_BETA, py::arg("d_cut_off") = M::DEFAULT_D_CUT_OFF,
        py::arg("precision") = rawValue(TimestampPrecision::EXACT),
        py::arg("derivative") = rawValue(DerivativeSource::RAW),
        "Smooths a whole recording with a fresh bank of one channel per column of `values` "
        "((N, C), or (N,) for one channel), without holding the GIL. Timestamps are read EXACT "
        "unless `precision` says otherwise: a recording's clock is what it is. Returns the "
        "smoothed float64 array, of the shape of `values`, with NaN in the rows the bank "
        "refused.");
}

} // namespace pelto::python
