// Micro benchmarks of the core without Python: parse_statements and the three
// exporters over a synthetic text of many statement lines, one narrative of
// each convention in turn.
//
//   build-bench/bench/core_bench --benchmark_min_time=0.5
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/decoders/decoder.hpp"
#include "core/export/camt053.hpp"
#include "core/export/csv.hpp"
#include "core/export/json.hpp"
#include "core/reader.hpp"

namespace {

constexpr int kTransactions = 20000;

const char* const kNarratives[] = {
    ":86:/EREF/E2E-925828936/KREF/K930824/NAME/Sophie Weber/IBAN/DE112452\r\n"
    "25732472970885/REMI/Miete Januar\r\n",
    ":86:166?00SEPA-GUTSCHRIFT?20EREF+9463331 SVWZ+Rechnung ?21939228\r\n"
    "?30DEUTDEFF?31DE84271018448744927995?32Max Muster?34190\r\n",
    ":86:NTRF<20Invoice 489603<21REF 47498<30SOLADEST600<31NL853260916354\r\n"
    "14919167<32Eva Fischer\r\n",
    ":86:Kartenzahlung SUPERMARKT 4711 Berlin 2024-01-02\r\n",
};

std::string make_text() {
  std::string text =
      ":20:STMT-1\r\n:25:DE01499090197108018660\r\n:28C:00001/001\r\n"
      ":60F:C240102EUR10000,00\r\n";
  char line[128];
  for (int i = 0; i < kTransactions; ++i) {
    const char* mark = (i % 10 == 9) ? "RD" : (i % 2 ? "D" : "C");
    std::snprintf(line, sizeof line, ":61:2401020103%s%d,%02dNTRFREF-%d//%d\r\n", mark,
                  i % 5000, i % 100, i, 1000000 + i);
    text += line;
    text += kNarratives[i % 4];
  }
  text += ":62F:C240131EUR12345,67\r\n";
  return text;
}

const std::string& text() {
  static const std::string t = make_text();
  return t;
}

const std::vector<vardel::Statement>& statements() {
  static const std::vector<vardel::Statement> s = [] {
    vardel::ParseOutcome out =
        vardel::parse_statements(text(), vardel::DecoderChain::for_resolver("auto"));
    return out ? std::move(*out) : std::vector<vardel::Statement>{};
  }();
  return s;
}

void BM_parse_statements(benchmark::State& state) {
  const vardel::DecoderChain chain = vardel::DecoderChain::for_resolver("auto");
  for (auto _ : state) {
    vardel::ParseOutcome out = vardel::parse_statements(text(), chain);
    if (!out) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text().size()));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kTransactions);
}
BENCHMARK(BM_parse_statements)->Unit(benchmark::kMillisecond);

template <std::string (*Export)(const std::vector<vardel::Statement>&)>
void BM_export(benchmark::State& state) {
  if (statements().empty()) {
    state.SkipWithError("parse failed");
    return;
  }
  size_t bytes = 0;
  for (auto _ : state) {
    std::string out = Export(statements());
    bytes += out.size();
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_export<vardel::export_json>)->Name("BM_export_json")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_export<vardel::export_csv>)->Name("BM_export_csv")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_export<vardel::export_camt053>)
    ->Name("BM_export_camt053")
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
