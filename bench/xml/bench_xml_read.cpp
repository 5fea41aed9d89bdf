// Reads a generated RSS 2.0 feed of about 50 MB into the feed model
// (tokenizer, document tree and model) and parses the same bytes with
// pugixml (load_buffer), expat (the whole buffer in one call, handlers that
// copy names and text) and libxml2 (xmlReadMemory, a tree). Each parser runs
// in its own forked child, so that its peak resident memory is its own.
//
//   bench_xml_read [ITEMS] [RUNS] [ONLY]   (ONLY: run just the parsers whose name starts so)
#include <expat.h>
#include <libxml/parser.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "GeneratedFeed.h"
#include "feed/FeedReader.h"
#include "xml/XmlReader.h"

namespace {

long ResidentKib() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Result {
  bool ran = false;
  bool ok = false;
  double seconds = 0;
  long peakKib = 0;      // peak resident set of the child
  long baselineKib = 0;  // resident before parsing: the input and the program
};

// Runs parse runs times in a forked child; the best time counts.
Result Measure(const std::function<bool()>& parse, int runs) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    Result result;
    result.baselineKib = ResidentKib();
    result.ok = true;
    result.seconds = 1e30;
    for (int i = 0; i < runs; ++i) {
      auto start = std::chrono::steady_clock::now();
      bool ok = parse();
      double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      result.ok = result.ok && ok;
      if (seconds < result.seconds) result.seconds = seconds;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    result.peakKib = usage.ru_maxrss;
    if (write(fds[1], &result, sizeof result) != sizeof result) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  Result result;
  if (read(fds[0], &result, sizeof result) != sizeof result) result.ok = false;
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return result;
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

}  // namespace

int main(int argc, char** argv) {
  size_t items = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 42000;
  int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  std::string feed = vk_bench::GenerateFeed(items);
  double megabytes = static_cast<double>(feed.size()) / 1e6;
  std::printf("feed: %zu items, %.1f MB (10^6 bytes); best of %d runs, each parser in its own process\n", items,
              megabytes, runs);

  struct Entry {
    const char* name;
    std::function<bool()> parse;
    Result result;
  };
  std::vector<Entry> entries;
  entries.push_back({"rssvane (FeedReader::ReadDocument: tokenizer, tree, model)", [&] {
                       rssvane::FeedState model;
                       rssvane::FeedReader reader;
                       bool ok = reader.ReadDocument(model, feed) == 0 && model.ItemCount() == items;
                       return ok;
                     }, {}});
  entries.push_back({"pugixml (load_buffer)", [&] {
                       pugi::xml_document doc;
                       return static_cast<bool>(doc.load_buffer(feed.data(), feed.size()));
                     }, {}});
  entries.push_back({"expat (one XML_Parse, copying handlers)", [&] {
                       XML_Parser parser = XML_ParserCreate(nullptr);
                       ExpatClient client;
                       XML_SetUserData(parser, &client);
                       XML_SetElementHandler(parser, ExpatStart, ExpatEnd);
                       XML_SetCharacterDataHandler(parser, ExpatText);
                       bool ok = XML_Parse(parser, feed.data(), static_cast<int>(feed.size()), 1) == XML_STATUS_OK;
                       XML_ParserFree(parser);
                       return ok;
                     }, {}});
  entries.push_back({"libxml2 (xmlReadMemory, tree)", [&] {
                       xmlDocPtr doc = xmlReadMemory(feed.data(), static_cast<int>(feed.size()), "feed.xml", nullptr, 0);
                       bool ok = doc != nullptr;
                       xmlFreeDoc(doc);
                       return ok;
                     }, {}});

  // Not a peer: the share of the XML reader (tokenizer and tree) in the whole read.
  entries.push_back({"(rssvane XmlReader alone: tokenizer and tree)", [&] {
                       rssvane::XmlReader reader;
                       reader.SetBuildTree(true);
                       reader.Reset();
                       reader.Tree().ReserveFor(feed.size() + feed.size() / 8);
                       return reader.Feed(feed.data(), feed.size()) == 0 && reader.Finish() == 0;
                     }, {}});
  const char* only = argc > 3 ? argv[3] : nullptr;
  for (Entry& entry : entries) {
    if (only && std::strncmp(entry.name, only, std::strlen(only)) != 0) continue;
    entry.result = Measure(entry.parse, runs);
    entry.result.ran = true;
  }

  std::printf("%-62s %9s %12s %14s\n", "parser", "MB/s", "peak RSS MB", "above input MB");
  for (const Entry& entry : entries) {
    const Result& r = entry.result;
    if (!r.ran) continue;
    if (!r.ok) {
      std::printf("%-62s FAILED\n", entry.name);
      continue;
    }
    std::printf("%-62s %9.1f %12.1f %14.1f\n", entry.name, megabytes / r.seconds, r.peakKib / 1024.0,
                (r.peakKib - r.baselineKib) / 1024.0);
  }
  const Result& ours = entries[0].result;
  bool pass = ours.ok;
  for (size_t i = 1; i < 4; ++i) {
    const Result& peer = entries[i].result;
    if (!ours.ok || !peer.ok) continue;
    double speed = peer.seconds / ours.seconds;
    double memory = static_cast<double>(ours.peakKib - ours.baselineKib) / static_cast<double>(peer.peakKib - peer.baselineKib);
    std::printf("rssvane vs %-24s speed x%.2f, memory above input x%.2f\n", entries[i].name, speed, memory);
  }
  // Targets: at least pugixml's and expat's speed, twice libxml2's, and less memory than libxml2.
  if (ours.ok && entries[1].result.ok && entries[2].result.ok && entries[3].result.ok) {
    double vsPugi = entries[1].result.seconds / ours.seconds;
    double vsExpat = entries[2].result.seconds / ours.seconds;
    double vsLibxml = entries[3].result.seconds / ours.seconds;
    bool memory = ours.peakKib - ours.baselineKib < entries[3].result.peakKib - entries[3].result.baselineKib;
    pass = vsPugi >= 1.0 && vsExpat >= 1.0 && vsLibxml >= 2.0 && memory;
    std::printf("targets (>= pugixml, >= expat, >= 2x libxml2, memory < libxml2): %s\n", pass ? "met" : "NOT met");
  }
  return 0;
}
