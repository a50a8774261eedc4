// The CPU temperature: the reader program's window title, or WMI without it.
#include <optional>
#include <string_view>

#include "app/stellmark_form.h"

namespace app {

namespace {

// A whole number: an optional minus sign and decimal digits, nothing else.
std::optional<int> wholeNumber(std::string_view s) {
    if (s.empty()) return std::nullopt;
    bool negative = s[0] == '-';
    if (negative) s.remove_prefix(1);
    if (s.empty() || s.size() > 9) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return negative ? -v : v;
}

// Readings are one to three characters of title.
std::optional<int> readerReading(const char* text, int n) {
    if (n < 1 || n > 3) return std::nullopt;
    return wholeNumber(std::string_view(text, static_cast<size_t>(n)));
}

// (tenths - 2732) / 10, truncated toward zero, without the subtraction that overflows
// for the most negative values: tenths = 10q + r, so the difference is
// 10(q - 273) + (r - 2). The result wraps to 32 bits as the reading always has.
std::int32_t kelvinTenthsToCelsius(std::int64_t tenths) {
    std::int64_t q = tenths / 10 - 273;
    std::int64_t r = tenths % 10 - 2;  // -11..7
    if (r <= -10) {
        q -= 1;
        r += 10;
    }
    // Now the difference is 10q + r with |r| < 10: truncation moves q toward zero when
    // r points the other way.
    if (q > 0 && r < 0) q -= 1;
    if (q < 0 && r > 0) q += 1;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(q)));
}

}  // namespace

std::int32_t TStellmarkForm::ReadCpuTemperature() {
    std::int32_t r = LastTemperature;
    if (ReaderWindow != 0) {
        const int n = os_.windows.GetWindowTextA(ReaderWindow, ReaderText, 127);
        if (auto t = readerReading(ReaderText, n)) r = *t;  // no range test here
    } else {
        std::vector<std::optional<std::int64_t>> rows;
        if (!os_.wmi.QueryThermalZoneTemperatures(rows)) {
            r = -1;
        } else {
            // Tenths of a kelvin to whole degrees, truncated; the last row with a value wins.
            for (const auto& v : rows)
                if (v) r = kelvinTenthsToCelsius(*v);
        }
    }
    LastTemperature = r;
    return r;
}

bool TStellmarkForm::ReaderTemperatureInvalid() {
    if (ReaderWindow == 0) return true;
    const int n = os_.windows.GetWindowTextA(ReaderWindow, ReaderText, 127);
    auto t = readerReading(ReaderText, n);
    return !(t && *t >= -19 && *t <= 119);
}

}  // namespace app
