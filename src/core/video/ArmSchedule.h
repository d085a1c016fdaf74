#pragma once
#include <bitset>
#include <string>

struct CLocalTime;

// The weekly windows in which detection is armed, read from a compact text:
// "Mon-Fri 22:00-06:30; Sat,Sun 00:00-24:00". Each part names days (single
// days, ranges, lists) and one or more times "HH:MM-HH:MM"; a window whose end
// lies before its start runs over midnight into the next day. Empty text is no
// schedule at all. Resolution is one minute of the local week.
class CArmSchedule {
public:
    static constexpr int kWeekMinutes = 7 * 24 * 60;

    // Reads `text`; on a mistake the schedule stays empty and Error() says what is wrong.
    bool Parse(const std::string& text);
    const std::string& Error() const { return m_error; }
    // No windows: the schedule leaves detection alone.
    bool Empty() const { return m_empty; }

    // Minute of the week, 0 = Sunday 00:00, as the clock's weekday counts.
    static int WeekMinute(const CLocalTime& t);
    bool ArmedAt(int weekMinute) const { return m_armed[Wrap(weekMinute)]; }
    bool ArmedAt(const CLocalTime& t) const { return ArmedAt(WeekMinute(t)); }
    // The first minute after `weekMinute` at which the armed state changes;
    // -1 when it never changes (no schedule, or armed all week).
    int NextEdge(int weekMinute) const;
    // "22:00" for an edge within the next day, else "Sat 22:00".
    static std::string EdgeText(int fromWeekMinute, int edgeWeekMinute);

private:
    static int Wrap(int m) { return ((m % kWeekMinutes) + kWeekMinutes) % kWeekMinutes; }

    std::bitset<kWeekMinutes> m_armed;
    bool m_empty = true;
    std::string m_error;
};
