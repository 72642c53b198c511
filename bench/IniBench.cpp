// INI document speed: parsing and writing grow linearly with the text, and
// so does building a document key by key.
//   build/release/bench/ini_bench
// Compare the 1 MB, 10 MB and 30 MB rows: the time per byte must stay the
// same once the document no longer fits the processor cache (at 1 MB it does,
// which makes that row faster per byte).
#include <benchmark/benchmark.h>

#include <string>

#include "ini/clsINI.h"
#include "platform/text.h"

namespace {

using pd::String;
using pd::ini::clsINI;

// An INI text of at least the given size in bytes: sections of 40 lines
// with keys, comments, blank lines and Cyrillic names, as list and option
// files look, with an occasional long line.
String MakeText(std::size_t bytes) {
  String text;
  text.reserve(bytes + 256);
  for (std::size_t line = 0; text.size() < bytes; ++line) {
    if (!text.empty()) text += u"\r\n";
    const String n = pd::text::FromAscii(std::to_string(line));
    if (line % 40 == 0) {
      text += u"[Раздел " + n + u"] ; comment";
    } else if (line % 40 == 39) {
      // blank line before the next header
    } else if (line % 10 == 5) {
      text += u"; comment line " + n;
    } else if (line % 997 == 1) {
      text += u"long=" + String(2000, u'x');
    } else {
      text += u"Процесс" + n + u".exe = " + (line % 2 == 0 ? u"1" : u"0");
    }
  }
  return text;
}

void SetBytes(benchmark::State& state, std::size_t chars) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(chars));
}

void BM_OpenString(benchmark::State& state) {
  const String text = MakeText(static_cast<std::size_t>(state.range(0)) << 20);
  clsINI doc;
  for (auto _ : state) {
    doc.OpenString(text);
    benchmark::DoNotOptimize(doc.SectionCount());
  }
  SetBytes(state, text.size());
}

void BM_SaveString(benchmark::State& state) {
  const String text = MakeText(static_cast<std::size_t>(state.range(0)) << 20);
  clsINI doc;
  doc.OpenString(text);
  for (auto _ : state) {
    String out = doc.SaveString();
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state, text.size());
}

// Bytes in, bytes out: the file-text conversions included (UTF-8 checked and
// decoded on Linux, the ANSI code page on Windows).
void BM_OpenBufSaveBuf(benchmark::State& state) {
  const std::string bytes = pd::text::Utf8Codec().ToFileText(MakeText(static_cast<std::size_t>(state.range(0)) << 20));
  clsINI doc;
  for (auto _ : state) {
    doc.OpenBuf(bytes);
    std::string out = doc.SaveBuf();
    benchmark::DoNotOptimize(out.data());
  }
  SetBytes(state, bytes.size());
}

// A list file written from a fresh document, one SetKeyValue per entry.
void BM_SetKeyValueList(benchmark::State& state) {
  const auto count = state.range(0);
  std::vector<String> names;
  for (std::int64_t i = 0; i < count; ++i) names.push_back(u"Программа" + pd::text::FromAscii(std::to_string(i)) + u".exe");
  for (auto _ : state) {
    clsINI doc;
    for (const String& name : names) doc.SetKeyValue(u"", name, u"1");
    benchmark::DoNotOptimize(doc.Enum_GetKeyCount(0));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * count);
}

BENCHMARK(BM_OpenString)->Arg(1)->Arg(10)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveString)->Arg(1)->Arg(10)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenBufSaveBuf)->Arg(1)->Arg(10)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetKeyValueList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
