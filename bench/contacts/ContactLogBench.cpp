// The contact list on a log of 100,000 contacts: loading it from a file (reading, the ADIF
// reader, listing), and what the list does on the window's thread afterwards: the first sort
// (newest first), a sort by call, and the call filter as it runs at each key press.
#include "contacts/ContactLog.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int kContacts = 100000;

// Calls, dates, frequencies and modes that vary from record to record, as in a real log.
std::string LargeLog(int count) {
    static const char* const kModes[] = {"SSB", "CW", "FT8", "RTTY"};
    static const char* const kFreqs[] = {"14.074", "7.030", "3.573", "21.200", "28.500"};
    std::string text = "Generated log<EOH>\n";
    for (int i = 0; i < count; ++i) {
        const std::string call = std::string(i % 2 ? "DL" : "K") + std::to_string(i % 10) +
                                 char('A' + i % 26) + char('A' + (i / 26) % 26) +
                                 char('A' + (i / 676) % 26);
        const std::string date = "20" + std::to_string(10 + i % 15) + "0" +
                                 std::to_string(1 + i % 9) + std::to_string(10 + i % 18);
        const auto field = [&](const char* name, const std::string& value) {
            text += "<" + std::string(name) + ":" + std::to_string(value.size()) + ">" + value;
        };
        field("CALL", call);
        field("QSO_DATE", date);
        field("TIME_ON", std::to_string(10000 + (i / 60) % 24 * 100 + i % 60).substr(1));
        field("FREQ", kFreqs[i % 5]);
        field("MODE", kModes[i % 4]);
        field("RST_SENT", "599");
        field("QSL_SENT", i % 3 ? "N" : "Y");
        text += "<EOR>\n";
    }
    return text;
}

const std::string& LogText() {
    static const std::string text = LargeLog(kContacts);
    return text;
}

const contacts::ContactLog& Log() {
    static const contacts::ContactLog log = [] {
        contacts::ContactLog listed;
        contacts::ListContacts("large.adi", LogText(), listed);
        return listed;
    }();
    return log;
}

void BM_LoadContactLogFromFile(benchmark::State& state) {
    const fs::path path =
        fs::temp_directory_path() / ("velmora-bench-" + std::to_string(::getpid()) + ".adi");
    std::ofstream(path, std::ios::binary) << LogText();
    for (auto _ : state) {
        contacts::LoadResult result = contacts::LoadContactLog(path.string());
        if (result.log.contacts.size() != size_t(kContacts))
            state.SkipWithError("wrong contact count");
        benchmark::DoNotOptimize(result);
    }
    fs::remove(path);
    state.SetItemsProcessed(state.iterations() * kContacts);
    state.SetBytesProcessed(state.iterations() * int64_t(LogText().size()));
}
BENCHMARK(BM_LoadContactLogFromFile)->Unit(benchmark::kMillisecond);

void BM_NewestFirst(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(contacts::SortedOrder(Log().contacts, contacts::Column::Date,
                                                       contacts::SortOrder::Descending));
}
BENCHMARK(BM_NewestFirst)->Unit(benchmark::kMillisecond);

void BM_SortByCall(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(contacts::SortedOrder(Log().contacts, contacts::Column::Call,
                                                       contacts::SortOrder::Ascending));
}
BENCHMARK(BM_SortByCall)->Unit(benchmark::kMillisecond);

void BM_SortByMode(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(contacts::SortedOrder(Log().contacts, contacts::Column::Mode,
                                                       contacts::SortOrder::Ascending));
}
BENCHMARK(BM_SortByMode)->Unit(benchmark::kMillisecond);

// One key press in the filter: the text typed so far against every call.
void BM_FilterByCall(benchmark::State& state) {
    const std::vector<uint32_t> order = contacts::SortedOrder(
        Log().contacts, contacts::Column::Date, contacts::SortOrder::Descending);
    for (auto _ : state)
        benchmark::DoNotOptimize(contacts::FilterByCall(Log(), order, "dl3a"));
}
BENCHMARK(BM_FilterByCall)->Unit(benchmark::kMicrosecond);

} // namespace
