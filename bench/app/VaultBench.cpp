// A password vault of 2,000 entries: how long a load and an edit's save take
// through the engine and the RSS control, against the naive peer that pays
// one key derivation for every field (a fresh engine per field).
//
//   build/bench/app/bench_vault [ENTRIES]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "rssvane/RSS.h"
#include "settings/StoreEngine.h"
#include "stores/StoreDocument.h"
#include "stores/VaultStore.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

vk::VaultEntry EntryNumber(int n) {
  return {QStringLiteral("site-%1.example.org").arg(n), QStringLiteral("user%1@example.org").arg(n),
          QStringLiteral("P4ss-%1-word").arg(n * 7919), QStringLiteral("Notes for entry %1, kept short.").arg(n)};
}

// Writes the vault in one go, in the layout the store rebuilds.
void WriteVault(const QString& folder, int entries) {
  vk::StoreEngine engine;
  rssvane::RSS rss;
  vk::PrepareFeed(rss);
  rss.SetChannelTitle(u"Passwords");
  rss.SetChannelDescription(u"Stored Website and Program Passwords");
  rss.SetChannelLink(u"https://www.velkor.example/");
  for (int n = entries; n >= 1; --n) {
    const vk::VaultEntry e = EntryNumber(n);
    rss.AddItem(vk::EncryptField(engine, e.userId), vk::EncryptField(engine, e.password),
                vk::EncryptField(engine, e.website));
    rss.SetItemComments(1, vk::EncryptField(engine, e.notes));
  }
  vk::WriteFeedReplacing(rss, folder + QStringLiteral("/passwords.rss"));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int entries = argc > 1 ? std::atoi(argv[1]) : 2000;
  QTemporaryDir dir;
  WriteVault(dir.path(), entries);

  std::vector<double> loads, firstSaves, laterSaves;
  for (int run = 0; run < 3; ++run) {
    // A program start: a new engine, so the load pays its key derivation.
    auto start = Clock::now();
    vk::StoreEngine engine;
    vk::VaultStore vault(dir.path(), &engine);
    const vk::StoreLoadProblem problem = vault.LoadRecentFiles();
    loads.push_back(Seconds(start));
    if (!problem.message.isEmpty() || static_cast<int>(vault.Entries().size()) != entries) {
      std::fprintf(stderr, "bench_vault: the vault did not load\n");
      return 1;
    }
    vk::VaultEntry edited = vault.Entries()[static_cast<size_t>(entries / 2)];
    edited.password = QStringLiteral("changed-%1").arg(run);
    start = Clock::now();
    vault.AddToPWD(edited, entries / 2 + 1);
    firstSaves.push_back(Seconds(start));
    edited.notes = QStringLiteral("changed again");
    start = Clock::now();
    vault.AddToPWD(edited, entries / 2 + 1);
    laterSaves.push_back(Seconds(start));
  }

  // The peer: one derivation per field, measured on a sample of fields and
  // scaled to the vault's four fields an entry.
  vk::StoreEngine writer;
  const std::u16string sealed = vk::EncryptField(writer, QStringLiteral("a field"));
  const int samples = 8;
  auto start = Clock::now();
  for (int i = 0; i < samples; ++i) {
    vk::StoreEngine fresh;
    vk::DecryptField(fresh, sealed);
  }
  const double perField = Seconds(start) / samples;
  const double peerLoad = perField * 4.0 * entries;

  const double load = Median(loads);
  std::printf("bench_vault: %d entries, median of 3 runs\n", entries);
  std::printf("  load (new engine, one derivation):      %.3f s\n", load);
  std::printf("  first edit saved (derives its own key): %.3f s\n", Median(firstSaves));
  std::printf("  next edit saved:                        %.3f s\n", Median(laterSaves));
  std::printf("  peer, a derivation per field (load, from %d samples): %.1f s\n", samples, peerLoad);
  std::printf("  ratio peer/load: %.0fx\n", peerLoad / load);
  std::printf("  target: load and save under 0.5 s: %s\n",
              load < 0.5 && Median(firstSaves) < 0.5 && Median(laterSaves) < 0.5 ? "met" : "NOT met");
  return 0;
}
