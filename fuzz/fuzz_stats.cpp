// Reads any bytes as a reading diary (the first line the global record, the rest the day lines,
// newest first) with a session taken from the first bytes, then records the session and builds
// the reports. Nothing may crash or divide by zero; the recorded lines must stay well formed and
// the reports must count what was recorded.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_checks.h"
#include "stats/reading_diary.h"
#include "stats/statistics_reports.h"

using namespace lectorix;

namespace {

bool WellFormed(std::string rest) {
    const std::string letters = CutField(rest);
    const std::string speed = CutField(rest);
    return rest.empty() && std::to_string(FieldNumber(letters)) == letters &&
           std::to_string(FieldNumber(speed)) == speed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    SessionFigures session;
    if (size >= 8) {
        std::int32_t chars = 0, speed = 0;
        std::memcpy(&chars, data, 4);
        std::memcpy(&speed, data + 4, 4);
        session = {chars, speed};
        data += 8;
        size -= 8;
    }
    Diary diary;
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t from = 0;
    bool first = true;
    while (from <= text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(from, end - from);
        if (first) {
            diary.Global = std::move(line);
            first = false;
        } else {
            diary.Days.push_back(std::move(line));
        }
        from = end + 1;
    }
    const DiaryDate today{7, 12, 2026};
    ReportInputs in;
    in.Session = session;
    const StatisticTexts before = BuildReadingStatistics(in, diary, today);
    FUZZ_CHECK(before.Report4.ends_with("\r\n"), "report 4 not ended");

    AddSession(diary, today, session);
    std::string top = diary.Days.front();
    FUZZ_CHECK(ParseDiaryDate(CutField(top)) == today, "top line %s", diary.Days.front().c_str());
    FUZZ_CHECK(WellFormed(top), "today's line %s", diary.Days.front().c_str());
    FUZZ_CHECK(WellFormed(diary.Global), "global record %s", diary.Global.c_str());

    // Recorded, the reports with an empty session show what the reports before showed with it.
    const StatisticTexts after = BuildReadingStatistics({}, diary, today);
    FUZZ_CHECK(after.Report2 == before.Report2, "today's report changed by recording");
    FUZZ_CHECK(after.Report3 == before.Report3, "the global report changed by recording");
    return 0;
}
