// Reads a generated RSS 2.0 feed of about 54 MB into the feed model
// (tokenizer and model) and parses the same bytes with pugixml (load_buffer),
// expat (the whole buffer in one call, handlers that copy names and text) and
// libxml2 (xmlReadMemory, a tree); rssvane's XML reader alone (tokenizer and
// document tree) runs beside them.
//
// Every parser gets the same two memory treatments, so that no ratio hangs on
// what page faults cost on the machine at hand:
//   fresh        each run in a new process, allocating as the parser does:
//                the first read of a program, page faults and all;
//   pre-faulted  a process whose heap never gives memory back (malloc takes
//                no mmap chunks and trims nothing) and which reads once
//                untimed first: every page the read touches is already mapped.
// The parsers take turns, one run of each treatment a round; each figure is
// the best of RUNS rounds; memory is the peak resident set of a
// fresh process above what it held before reading (the input and the
// program), the largest of its runs.
//
//   bench_xml_read [ITEMS] [RUNS] [ONLY]   (ONLY: just the parsers whose name starts so)
//
// The entries named "settings:" read the same feed through the feed engine
// with the reading settings off and each one on, ReadAtom also the feed
// written as Atom 1.0, and compare each one's throughput with both off's
// (ONLY=settings runs just them). The "decoding alone" entries time the
// document decoder by itself: checking the feed's UTF-8, decoding the feed
// written in windows-1252 into UTF-8, and writing the feed in windows-1252.
#include <expat.h>
#include <libxml/parser.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "GeneratedFeed.h"
#include "feed/DocumentDecoder.h"
#include "feed/FeedEngine.h"
#include "feed/FeedReader.h"
#include "xml/XmlReader.h"

namespace {

long ResidentKib() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// What one process measured.
struct Sample {
  bool ok = false;
  double seconds = 1e30;     // the best of its timed runs
  double cpuSeconds = 1e30;  // the least processor time of its timed runs
  long aboveKib = 0;      // peak resident set above the resident set before reading
};

double CpuNow() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Wall time, and processor time in cpuSeconds: on a machine that other work
// shares, the processor time of one read moves less than its wall time.
double Timed(const std::function<bool()>& parse, bool& ok, double& cpuSeconds) {
  double cpuStart = CpuNow();
  auto start = std::chrono::steady_clock::now();
  ok = parse() && ok;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  cpuSeconds = CpuNow() - cpuStart;
  return seconds;
}

// Runs body in a forked child and hands back what it measured.
Sample InChild(const std::function<Sample()>& body) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Sample sample = body();
    if (write(fds[1], &sample, sizeof sample) != sizeof sample) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  Sample sample;
  if (read(fds[0], &sample, sizeof sample) != sizeof sample) sample.ok = false;
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) sample.ok = false;
  return sample;
}

// One read in a new process, page faults and all.
Sample Fresh(const std::function<bool()>& parse) {
  return InChild([&] {
    Sample sample;
    long before = ResidentKib();
    sample.ok = true;
    sample.seconds = Timed(parse, sample.ok, sample.cpuSeconds);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    sample.aboveKib = usage.ru_maxrss - before;
    return sample;
  });
}

// One read in a process whose heap keeps every page it was given, after one
// untimed read that maps them.
Sample Prefaulted(const std::function<bool()>& parse) {
  return InChild([&] {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
    Sample sample;
    sample.ok = true;
    double untimed = 0;
    Timed(parse, sample.ok, untimed);
    sample.seconds = Timed(parse, sample.ok, sample.cpuSeconds);
    return sample;
  });
}

// Expat's handlers copy what they are given, as a real client would.
struct ExpatClient {
  std::string name;
  std::string attribute;
  std::string text;
  size_t elements = 0;
};

void XMLCALL ExpatStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* client = static_cast<ExpatClient*>(data);
  client->name.assign(name);
  for (size_t i = 0; attributes[i]; ++i) client->attribute.assign(attributes[i]);
  client->text.clear();
  ++client->elements;
}

void XMLCALL ExpatEnd(void* data, const XML_Char* name) {
  auto* client = static_cast<ExpatClient*>(data);
  client->name.assign(name);
  client->text.clear();
}

void XMLCALL ExpatText(void* data, const XML_Char* text, int length) {
  static_cast<ExpatClient*>(data)->text.append(text, static_cast<size_t>(length));
}

struct Entry {
  const char* name;
  std::function<bool()> parse;
  Sample fresh;
  Sample prefaulted;
  bool ran = false;
};

enum Parser {
  kWholeRead,
  kReaderAlone,
  kPugixml,
  kExpat,
  kLibxml2,
  kSettingsOff,
  kDecodeOn,
  kDecodeConverting,
  kAtomOnRss,
  kAtomMapped,
  kDecodeCheck,
  kDecodeFromLatin,
  kDecodeIntoLatin,
  kParsers
};

// A read through the feed engine, as the control reads, with the reading
// settings given.
bool EngineRead(std::initializer_list<const char*> settings, const std::string& text, size_t items) {
  rssvane::FeedEngine engine;
  std::string answer;
  for (const char* setting : settings) {
    if (engine.Config(setting, answer) != 0) return false;
  }
  return engine.ReadDocument(text) == 0 && engine.Feed().ItemCount() == items;
}

}  // namespace

int main(int argc, char** argv) {
  size_t items = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 42000;
  int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const char* only = argc > 3 ? argv[3] : nullptr;
  std::string feed = vk_bench::GenerateFeed(items);
  double megabytes = static_cast<double>(feed.size()) / 1e6;
  std::string atom = vk_bench::GenerateAtomFeed(items);
  // The feed as a windows-1252 document, what that code page lacks written
  // as references.
  std::string latin;
  {
    rssvane::DocumentDecoder into;
    if (into.Decode(feed, {}, 1252) != 0) {
      std::fprintf(stderr, "the feed cannot be written in windows-1252\n");
      return 1;
    }
    latin = into.Text();
  }
  auto decodes = [](const std::string& text, int codePage) {
    rssvane::DocumentDecoder decoder;
    return decoder.Decode(text, {}, codePage) == 0 && !decoder.Text().empty();
  };
  std::printf("feed: %zu items, %.1f MB (10^6 bytes); best of %d runs per parser and memory treatment\n", items,
              megabytes, runs);

  Entry entries[kParsers] = {
      {"rssvane whole read (FeedReader: tokenizer and model)",
       [&] {
         rssvane::FeedState model;
         rssvane::FeedReader reader;
         return reader.ReadDocument(model, feed) == 0 && model.ItemCount() == items;
       }, {}, {}, false},
      {"rssvane XmlReader alone (tokenizer and tree)",
       [&] {
         rssvane::XmlReader reader;
         reader.SetBuildTree(true);
         reader.Reset();
         return reader.Feed(feed.data(), feed.size()) == 0 && reader.Finish() == 0;
       }, {}, {}, false},
      {"pugixml load_buffer",
       [&] {
         pugi::xml_document doc;
         return static_cast<bool>(doc.load_buffer(feed.data(), feed.size()));
       }, {}, {}, false},
      {"expat, one call, copying handlers",
       [&] {
         XML_Parser parser = XML_ParserCreate(nullptr);
         ExpatClient client;
         XML_SetUserData(parser, &client);
         XML_SetElementHandler(parser, ExpatStart, ExpatEnd);
         XML_SetCharacterDataHandler(parser, ExpatText);
         bool ok = XML_Parse(parser, feed.data(), static_cast<int>(feed.size()), 1) == XML_STATUS_OK;
         XML_ParserFree(parser);
         return ok;
       }, {}, {}, false},
      {"libxml2 xmlReadMemory",
       [&] {
         xmlDocPtr doc = xmlReadMemory(feed.data(), static_cast<int>(feed.size()), "feed.xml", nullptr, 0);
         bool ok = doc != nullptr;
         xmlFreeDoc(doc);
         return ok;
       }, {}, {}, false},
      {"settings: both off (FeedEngine)", [&] { return EngineRead({}, feed, items); }, {}, {}, false},
      {"settings: DecodeDocument on, CodePage 65001",
       [&] { return EngineRead({"DecodeDocument=true", "CodePage=65001"}, feed, items); }, {}, {}, false},
      {"settings: DecodeDocument on, CodePage 1252 (converts)",
       [&] { return EngineRead({"DecodeDocument=true", "CodePage=1252"}, feed, items); }, {}, {}, false},
      {"settings: ReadAtom on, the RSS feed", [&] { return EngineRead({"ReadAtom=true"}, feed, items); }, {}, {},
       false},
      {"settings: ReadAtom on, the feed as Atom", [&] { return EngineRead({"ReadAtom=true"}, atom, items); }, {}, {},
       false},
      {"settings: decoding alone, the feed into UTF-8", [&] { return decodes(feed, 65001); }, {}, {}, false},
      {"settings: decoding alone, in windows-1252 into UTF-8", [&] { return decodes(latin, 65001); }, {}, {}, false},
      {"settings: decoding alone, the feed into windows-1252", [&] { return decodes(feed, 1252); }, {}, {}, false},
  };

  for (Entry& entry : entries) {
    entry.ran = !only || std::strncmp(entry.name, only, std::strlen(only)) == 0;
    entry.fresh.ok = entry.prefaulted.ok = true;
  }
  // Round by round, each parser once a round, so that what else the machine
  // is doing meanwhile falls on every parser alike.
  for (int i = 0; i < runs; ++i) {
    for (Entry& entry : entries) {
      if (!entry.ran) continue;
      Sample one = Fresh(entry.parse);
      entry.fresh.ok = entry.fresh.ok && one.ok;
      entry.fresh.seconds = std::min(entry.fresh.seconds, one.seconds);
      entry.fresh.cpuSeconds = std::min(entry.fresh.cpuSeconds, one.cpuSeconds);
      entry.fresh.aboveKib = std::max(entry.fresh.aboveKib, one.aboveKib);
      one = Prefaulted(entry.parse);
      entry.prefaulted.ok = entry.prefaulted.ok && one.ok;
      entry.prefaulted.seconds = std::min(entry.prefaulted.seconds, one.seconds);
      entry.prefaulted.cpuSeconds = std::min(entry.prefaulted.cpuSeconds, one.cpuSeconds);
    }
  }

  std::printf("%-54s %12s %12s %14s\n", "parser", "fresh MB/s", "warm MB/s", "MB above input");
  for (const Entry& entry : entries) {
    if (!entry.ran) continue;
    if (!entry.fresh.ok || !entry.prefaulted.ok) {
      std::printf("%-54s FAILED\n", entry.name);
      continue;
    }
    double size = &entry == &entries[kAtomMapped]        ? static_cast<double>(atom.size()) / 1e6
                  : &entry == &entries[kDecodeFromLatin] ? static_cast<double>(latin.size()) / 1e6
                                                         : megabytes;
    std::printf("%-54s %12.1f %12.1f %14.1f\n", entry.name, size / entry.fresh.seconds,
                size / entry.prefaulted.seconds, entry.fresh.aboveKib / 1024.0);
  }

  auto usable = [&](Parser p) { return entries[p].ran && entries[p].fresh.ok && entries[p].prefaulted.ok; };
  // Speed ratios: how many times faster the first is, fresh and pre-faulted.
  auto ratio = [&](Parser ours, Parser peer, bool fresh) {
    const Entry& a = entries[ours];
    const Entry& b = entries[peer];
    return fresh ? b.fresh.seconds / a.fresh.seconds : b.prefaulted.seconds / a.prefaulted.seconds;
  };
  for (Parser ours : {kWholeRead, kReaderAlone}) {
    for (Parser peer : {kPugixml, kExpat, kLibxml2}) {
      if (!usable(ours) || !usable(peer)) continue;
      std::printf("%s vs %s: speed x%.2f fresh, x%.2f pre-faulted; memory above input x%.2f\n",
                  ours == kWholeRead ? "whole read" : "XmlReader alone", entries[peer].name, ratio(ours, peer, true),
                  ratio(ours, peer, false),
                  static_cast<double>(entries[ours].fresh.aboveKib) / static_cast<double>(entries[peer].fresh.aboveKib));
    }
  }

  // The targets: the XML reader at least as fast as pugixml; the whole read
  // at least as fast as expat and at 0.8x pugixml, holding no more memory
  // above its input than pugixml; each under both memory treatments.
  if (usable(kWholeRead) && usable(kReaderAlone) && usable(kPugixml) && usable(kExpat)) {
    bool met = true;
    for (bool fresh : {true, false}) {
      bool reader = ratio(kReaderAlone, kPugixml, fresh) >= 1.0;
      bool expat = ratio(kWholeRead, kExpat, fresh) >= 1.0;
      bool pugixml = ratio(kWholeRead, kPugixml, fresh) >= 0.8;
      std::printf("targets, %s: XmlReader >= pugixml %s, whole read >= expat %s, whole read >= 0.8x pugixml %s\n",
                  fresh ? "fresh" : "pre-faulted", reader ? "met" : "NOT met", expat ? "met" : "NOT met",
                  pugixml ? "met" : "NOT met");
      met = met && reader && expat && pugixml;
    }
    bool memory = entries[kWholeRead].fresh.aboveKib <= entries[kPugixml].fresh.aboveKib;
    std::printf("target: whole read's memory above input <= pugixml's %s\n", memory ? "met" : "NOT met");
    std::printf("targets: %s\n", met && memory ? "all met" : "NOT all met");
  }

  // The reading settings: each must keep reading's speed on the feed within
  // 20% of reading it with both off. Two entries read another document and
  // are shown beside the target, not in it: the feed written as Atom, and
  // the feed converted into a code page that lacks some of its characters,
  // each of which becomes a reference the converted document must hold.
  // Speed is throughput, each document's own bytes a second: the Atom feed
  // holds the same items in other bytes, and a ratio of times would credit
  // it with whatever its size differs by. Wall and processor time both, as
  // another load on the machine sways the one more than the other.
  if (usable(kSettingsOff)) {
    bool met = true;
    bool measured = false;
    const Entry& off = entries[kSettingsOff];
    for (Parser on : {kDecodeOn, kDecodeConverting, kAtomOnRss, kAtomMapped}) {
      if (!usable(on)) continue;
      const Entry& e = entries[on];
      // Bytes read with the setting on for each byte of the feed read with both off.
      double bytes = on == kAtomMapped ? static_cast<double>(atom.size()) / static_cast<double>(feed.size()) : 1.0;
      double fresh = bytes * off.fresh.seconds / e.fresh.seconds;
      double warm = bytes * off.prefaulted.seconds / e.prefaulted.seconds;
      double freshCpu = bytes * off.fresh.cpuSeconds / e.fresh.cpuSeconds;
      double warmCpu = bytes * off.prefaulted.cpuSeconds / e.prefaulted.cpuSeconds;
      bool sameFeed = on == kDecodeOn || on == kAtomOnRss;
      std::printf("%s vs both off: throughput x%.2f fresh, x%.2f pre-faulted; in processor time x%.2f, x%.2f%s\n",
                  e.name, fresh, warm, freshCpu, warmCpu, sameFeed ? "" : " (another document: beside the target)");
      if (!sameFeed) continue;
      measured = true;
      met = met && freshCpu >= 0.8 && warmCpu >= 0.8;
    }
    if (measured) {
      std::printf("target: each setting on the feed within 20%% of both off in processor time %s\n",
                  met ? "met" : "NOT met");
    }
  }
  return 0;
}
