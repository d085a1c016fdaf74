#include "video/ArmSchedule.h"

#include "app/Clock.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <vector>

namespace {

constexpr int kDayMinutes = 24 * 60;
const std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

std::string Trimmed(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

std::vector<std::string> Split(const std::string& s, const char* separators) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : s) {
        if (std::string(separators).find(c) != std::string::npos) {
            if (!Trimmed(part).empty())
                parts.push_back(Trimmed(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!Trimmed(part).empty())
        parts.push_back(Trimmed(part));
    return parts;
}

// Part of the text, quoted, short enough for the line under the setup page's edit.
std::string Quoted(const std::string& s) {
    return "\"" + (s.size() > 16 ? s.substr(0, 13) + "..." : s) + "\"";
}

int DayIndex(const std::string& name) {
    if (name.size() != 3)
        return -1;
    for (int d = 0; d < 7; ++d) {
        bool same = true;
        for (int i = 0; i < 3; ++i)
            same = same && std::tolower(static_cast<unsigned char>(name[i])) ==
                               std::tolower(static_cast<unsigned char>(kDays[d][i]));
        if (same)
            return d;
    }
    return -1;
}

// "H:MM" or "HH:MM" as minutes of the day; `allowEnd` admits 24:00. -1 = bad.
int ClockMinutes(const std::string& s, bool allowEnd) {
    int h = 0, m = 0, used = 0;
    if (std::sscanf(s.c_str(), "%2d:%2d%n", &h, &m, &used) != 2 ||
        used != static_cast<int>(s.size()) || s.find(':') > 2 || s.size() - s.find(':') != 3)
        return -1;
    const int minutes = h * 60 + m;
    if (h < 0 || m < 0 || m > 59 || minutes > (allowEnd ? kDayMinutes : kDayMinutes - 1))
        return -1;
    return minutes;
}

} // namespace

int CArmSchedule::WeekMinute(const CLocalTime& t) {
    return Wrap(t.weekday * kDayMinutes + t.hour * 60 + t.minute);
}

bool CArmSchedule::Parse(const std::string& text) {
    std::bitset<kWeekMinutes> armed;
    bool any = false;
    auto fail = [&](const std::string& why) {
        m_armed.reset();
        m_empty = true;
        m_error = why;
        return false;
    };
    for (const std::string& part : Split(text, ";")) {
        // The days run up to the first digit; the times follow.
        size_t firstDigit = 0;
        while (firstDigit < part.size() &&
               !std::isdigit(static_cast<unsigned char>(part[firstDigit])))
            ++firstDigit;
        const std::string daysText = Trimmed(part.substr(0, firstDigit));
        const std::string timesText = part.substr(firstDigit);
        if (daysText.empty())
            return fail("no days before " + Quoted(part));
        if (timesText.empty())
            return fail("no times after " + Quoted(daysText));
        std::array<bool, 7> days{};
        for (const std::string& item : Split(daysText, ",")) {
            const size_t dash = item.find('-');
            const int first = DayIndex(Trimmed(item.substr(0, dash)));
            const int last =
                dash == std::string::npos ? first : DayIndex(Trimmed(item.substr(dash + 1)));
            if (first < 0 || last < 0)
                return fail("unknown day " + Quoted(item) + " (Mon, Tue ... Sun)");
            for (int d = first;; d = (d + 1) % 7) { // Fri-Mon runs over the weekend
                days[d] = true;
                if (d == last)
                    break;
            }
        }
        for (const std::string& window : Split(timesText, ", \t")) {
            const size_t dash = window.find('-');
            const int from =
                dash == std::string::npos ? -1 : ClockMinutes(window.substr(0, dash), false);
            const int to =
                dash == std::string::npos ? -1 : ClockMinutes(window.substr(dash + 1), true);
            if (from < 0 || to < 0)
                return fail("bad time " + Quoted(window) + " (HH:MM-HH:MM)");
            if (from == to)
                return fail("empty window " + Quoted(window));
            // An end before the start lies on the next day.
            const int length = to > from ? to - from : to + kDayMinutes - from;
            for (int d = 0; d < 7; ++d)
                if (days[d])
                    for (int m = 0; m < length; ++m)
                        armed.set(Wrap(d * kDayMinutes + from + m));
            any = true;
        }
    }
    m_armed = armed;
    m_empty = !any;
    m_error.clear();
    return true;
}

int CArmSchedule::NextEdge(int weekMinute) const {
    if (m_empty)
        return -1;
    const bool now = ArmedAt(weekMinute);
    for (int step = 1; step <= kWeekMinutes; ++step)
        if (ArmedAt(weekMinute + step) != now)
            return Wrap(weekMinute + step);
    return -1;
}

std::string CArmSchedule::EdgeText(int fromWeekMinute, int edgeWeekMinute) {
    const int edge = Wrap(edgeWeekMinute);
    const int ahead = Wrap(edge - Wrap(fromWeekMinute));
    char text[16];
    const int inDay = edge % kDayMinutes;
    if (ahead > 0 && ahead < kDayMinutes)
        std::snprintf(text, sizeof text, "%02d:%02d", inDay / 60, inDay % 60);
    else
        std::snprintf(text, sizeof text, "%s %02d:%02d", kDays[edge / kDayMinutes], inDay / 60,
                      inDay % 60);
    return text;
}
