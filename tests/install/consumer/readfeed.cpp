// A program outside this tree that uses the installed rssvane: it reads the
// feed file named on its command line and prints the channel title, the
// item count and each item's title, one a line.

#include <cstdio>
#include <string>

#include <rssvane/RSS.h>
#include <rssvane/Version.h>

namespace {

// The feeds of this test are ASCII.
std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: readfeed FILE\n");
    return 2;
  }
  const std::string path = argv[1];
  try {
    rssvane::RSS rss;
    rss.ReadFile(std::u16string(path.begin(), path.end()));
    std::printf("component %s\n%s\n%d\n", RssvaneFileVersion(), Narrow(rss.ChannelTitle()).c_str(),
                static_cast<int>(rss.ItemCount()));
    for (int16_t i = 1; i <= rss.ItemCount(); ++i) std::printf("%s\n", Narrow(rss.ItemTitle(i)).c_str());
  } catch (const rssvane::AutomationError& e) {
    std::fprintf(stderr, "readfeed: error %d: %s\n", e.Number(), Narrow(e.Description()).c_str());
    return 1;
  }
  return 0;
}
