// Registration through the built librssvane.so, loaded with dlopen as a host
// loads it, into a class registry in a folder of the test's own.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ControlTestSupport.h"
#include "control/ClassRegistry.h"
#include "rssvane/Registration.h"

namespace rssvane {
namespace {

namespace fs = std::filesystem;
using Kind = RSS::DispatchKind;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Points XDG_CONFIG_HOME at a fresh folder for one test, and opens the
// library under test.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("rssvane-registry-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
    library_ = ::dlopen(RSSVANE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << ::dlerror();
  }
  void TearDown() override {
    ::unsetenv("XDG_CONFIG_HOME");
    if (library_) ::dlclose(library_);
    fs::remove_all(folder_);
  }

  template <typename Function>
  Function* Export(const char* name) {
    auto* found = reinterpret_cast<Function*>(::dlsym(library_, name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  int32_t Register() { return Export<int32_t()>("DllRegisterServer")(); }
  int32_t Unregister() { return Export<int32_t()>("DllUnregisterServer")(); }
  int32_t CanUnloadNow() { return Export<int32_t()>("DllCanUnloadNow")(); }
  std::string RegistrationError() { return Export<const char*()>("RssvaneRegistrationError")(); }

  fs::path RegistryFile() const { return folder_ / "rssvane" / "classes"; }
  void WriteRegistry(const std::string& text) {
    fs::create_directories(RegistryFile().parent_path());
    std::ofstream(RegistryFile(), std::ios::binary) << text;
  }
  ClassRegistry Registry() {
    ClassRegistry registry;
    std::string error;
    EXPECT_TRUE(LoadClassRegistry(RegistryFile(), registry, error)) << error;
    return registry;
  }

  fs::path folder_;
  void* library_ = nullptr;
};

Raised CreateFails(std::string_view name) {
  return RaisedBy([&] { CreateObject(name); });
}

constexpr const char* kClassKey = "CLSID\\{7A41C350-2B9E-4D1F-A6C3-5E08B2D4F910}";

TEST_F(RegistryTest, ARegisteredControlIsMadeByEachProgIdAndItsClsidUntilUnregistered) {
  ASSERT_EQ(Register(), kSOk) << RegistrationError();
  ClassRegistry registry = Registry();
  ASSERT_NE(registry.Value(std::string(kClassKey) + "\\InprocServer32"), nullptr);
  EXPECT_EQ(*registry.Value(std::string(kClassKey) + "\\InprocServer32"), RSSVANE_LIBRARY);
  EXPECT_EQ(*registry.Value(std::string(kClassKey) + "\\InprocServer32", "threadingmodel"), "Apartment");
  EXPECT_EQ(*registry.Value(std::string(kClassKey) + "\\TypeLib"), "{7A41C353-2B9E-4D1F-A6C3-5E08B2D4F910}");
  EXPECT_EQ(*registry.Value("Kestrix.RSS\\CurVer"), "Kestrix.RSS.1");
  EXPECT_EQ(*registry.Value("Kestrix6.RSS\\CurVer"), "Kestrix.RSS.1");
  EXPECT_EQ(registry.Value("Kestrix.RSS.1\\CurVer"), nullptr);
  EXPECT_EQ(*registry.Value("TypeLib\\{7A41C353-2B9E-4D1F-A6C3-5E08B2D4F910}\\1.0\\0\\linux"), RSSVANE_LIBRARY);
  // Registering again replaces the registration instead of adding to it.
  const std::string once = ReadText(RegistryFile());
  ASSERT_EQ(Register(), kSOk);
  EXPECT_EQ(ReadText(RegistryFile()), once);

  EXPECT_EQ(CanUnloadNow(), kSOk);
  {
    std::shared_ptr<IRSS> first;
    for (std::string_view name :
         {"Kestrix.RSS", "kestrix.rss.1", "Kestrix6.RSS", "{7a41c350-2b9e-4d1f-a6c3-5e08b2d4f910}"}) {
      std::shared_ptr<IRSS> rss = CreateObject(name);
      ASSERT_NE(rss, nullptr) << name;
      const int32_t title = rss->GetIDOfName(u"ChannelTitle");
      EXPECT_EQ(title, 13);
      rss->Invoke(title, Kind::kPropertyPut, {Variant(u"made")});
      EXPECT_EQ(rss->Invoke(title, Kind::kPropertyGet, {}), Variant(u"made"));
      // The library counts the controls it made, whoever holds them.
      EXPECT_EQ(CanUnloadNow(), kSFalse);
      if (!first) first = rss;
    }
    // Each is a control of its own, and its failures reach the host.
    EXPECT_EQ(first->Invoke(13, Kind::kPropertyGet, {}), Variant(u"made"));
    Raised range = RaisedBy([&] { first->Invoke(43, Kind::kPropertyPut, {Variant(int32_t{4})}); });
    EXPECT_EQ(range.hresult, 0x800A017Cu);
    EXPECT_EQ(range.source, u"Kestrix.RSS.1");
  }
  EXPECT_EQ(CanUnloadNow(), kSOk);

  ASSERT_EQ(Unregister(), kSOk) << RegistrationError();
  EXPECT_FALSE(fs::exists(RegistryFile()));
  EXPECT_FALSE(fs::exists(RegistryFile().parent_path()));
  Raised byProgId = CreateFails("Kestrix.RSS");
  EXPECT_EQ(byProgId.hresult, static_cast<uint32_t>(kInvalidClassString));
  EXPECT_EQ(Utf8(byProgId.description), "No class is registered as Kestrix.RSS in " + RegistryFile().string() + ".");
  Raised byClsid = CreateFails("{7A41C350-2B9E-4D1F-A6C3-5E08B2D4F910}");
  EXPECT_EQ(byClsid.hresult, static_cast<uint32_t>(kClassNotRegistered));
  EXPECT_EQ(CreateFails("{7A41C350-2B9E-4D1F-A6C3-5E08B2D4F91}").hresult, static_cast<uint32_t>(kInvalidClassString));
  // Taking out what is not there is no failure and makes no file.
  EXPECT_EQ(Unregister(), kSOk);
  EXPECT_FALSE(fs::exists(RegistryFile().parent_path()));
  FreeUnusedLibraries();
}

TEST_F(RegistryTest, RegistrationLeavesOtherClassesAndAProgIdTakenOverAlone) {
  WriteRegistry(
      "rssvane class registry 1\n"
      "\n"
      "[CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32]\n"
      "@=\"/opt/other/libother.so\"\n"
      "[Other.Thing\\CLSID]\n"
      "@=\"{11111111-2222-3333-4444-555555555555}\"\n");
  ASSERT_EQ(Register(), kSOk) << RegistrationError();
  ClassRegistry registry = Registry();
  EXPECT_EQ(*registry.Value("CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32"),
            "/opt/other/libother.so");
  EXPECT_TRUE(registry.HasKey("Kestrix.RSS"));

  // Another class claims the former ProgID; taking the control out leaves it.
  registry.SetValue("Kestrix6.RSS\\CLSID", "", "{11111111-2222-3333-4444-555555555555}");
  WriteRegistry(registry.Text());
  ASSERT_EQ(Unregister(), kSOk) << RegistrationError();
  registry = Registry();
  EXPECT_FALSE(registry.HasKey(kClassKey));
  EXPECT_FALSE(registry.HasKey("Kestrix.RSS"));
  EXPECT_FALSE(registry.HasKey("Kestrix.RSS.1\\CLSID"));
  EXPECT_FALSE(registry.HasKey("TypeLib\\{7A41C353-2B9E-4D1F-A6C3-5E08B2D4F910}\\1.0\\0\\linux"));
  EXPECT_EQ(*registry.Value("Kestrix6.RSS\\CLSID"), "{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(*registry.Value("Other.Thing\\CLSID"), "{11111111-2222-3333-4444-555555555555}");
}

TEST_F(RegistryTest, CreateObjectNamesWhatIsMissingAndADamagedRegistryIsLeftAlone) {
  auto registerAt = [&](const std::string& library) {
    ClassRegistry registry;
    registry.SetValue("Broken.Thing\\CLSID", "", "{7A41C350-2B9E-4D1F-A6C3-5E08B2D4F910}");
    registry.SetValue(std::string(kClassKey) + "\\InprocServer32", "", library);
    registry.SetValue("Garbled.Thing\\CLSID", "", "not a class");
    WriteRegistry(registry.Text());
  };
  registerAt("/nonexistent/librssvane.so.1");
  Raised missing = CreateFails("Broken.Thing");
  EXPECT_EQ(missing.hresult, static_cast<uint32_t>(kLibraryNotFound));
  EXPECT_EQ(Utf8(missing.description).rfind("The library /nonexistent/librssvane.so.1 cannot be loaded: ", 0), 0u)
      << Utf8(missing.description);
  EXPECT_EQ(missing.source, u"Broken.Thing");
  EXPECT_EQ(CreateFails("Garbled.Thing").hresult, static_cast<uint32_t>(kRegistryUnreadable));

  registerAt("libm.so.6");
  Raised noEntry = CreateFails("Broken.Thing");
  EXPECT_EQ(noEntry.hresult, static_cast<uint32_t>(kEntryPointNotFound));
  EXPECT_EQ(noEntry.description, u"The library libm.so.6 has no DllGetClassObject.");

  const std::string damaged = "rssvane class registry 1\n[Kestrix.RSS]\n@=\"unterminated\n";
  WriteRegistry(damaged);
  Raised unreadable = CreateFails("Kestrix.RSS");
  EXPECT_EQ(unreadable.hresult, static_cast<uint32_t>(kRegistryUnreadable));
  EXPECT_EQ(Utf8(unreadable.description),
            "The class registry cannot be read: " + RegistryFile().string() + ": line 3: the closing quote is missing");
  EXPECT_EQ(Register(), kSelfRegisterFailed);
  EXPECT_EQ(RegistrationError(), RegistryFile().string() + ": line 3: the closing quote is missing");
  EXPECT_EQ(Unregister(), kSelfUnregisterFailed);
  EXPECT_EQ(ReadText(RegistryFile()), damaged);
}

TEST(ClassRegistryText, ReadsBackWhatItWritesAndRefusesAnythingElseByLine) {
  ClassRegistry registry;
  const std::string awkward = std::string("quote \" backslash \\ line\nfeed tab\t bell\x07 caf\xC3\xA9 \x7F");
  registry.SetValue("A\\B", "", awkward);
  registry.SetValue("A\\B", "Name \"quoted\"", "x");
  registry.CreateKey("Empty");
  registry.SetValue("a\\b", "name \"QUOTED\"", "replaced");  // names ignore case
  ClassRegistry read;
  std::string error;
  ASSERT_TRUE(read.Parse(registry.Text(), error)) << error;
  EXPECT_EQ(read.Text(), registry.Text());
  EXPECT_EQ(*read.Value("A\\B"), awkward);
  EXPECT_EQ(*read.Value("A\\B", "Name \"quoted\""), "replaced");
  EXPECT_TRUE(read.HasKey("EMPTY"));
  read.DeleteTree("a");
  EXPECT_FALSE(read.HasKey("A\\B"));
  EXPECT_TRUE(read.HasKey("Empty"));

  const std::string header = "rssvane class registry 1\n";
  const std::pair<std::string, std::string> refused[] = {
      {"", "line 0: the file is empty"},
      {"rssvane class registry 2\n", "line 1: not a class registry of this format (\"rssvane class registry 1\")"},
      {header + "[K]", "line 2: the last line has no line end"},
      {header + "@=\"v\"\n", "line 2: a value before the first key"},
      {header + "[K]\n[k]\n", "line 3: the key appears twice"},
      {header + "[A\\\\B]\n", "line 2: not a valid key path"},
      {header + "[K\n", "line 2: a key line ends with \"]\""},
      {header + "[K]\n@=\"a\\qb\"\n", "line 3: unknown escape \\q"},
      {header + "[K]\n@=\"a\\x00\"\n", "line 3: \\x takes two hexadecimal digits, not 00"},
      {header + "[K]\n@=\"a\tb\"\n", "line 3: a control character inside quotes must be escaped"},
      {header + "[K]\n@=\"a\" \n", "line 3: text after the value"},
      {header + "[K]\n\"\"=\"a\"\n", "line 3: an empty value name; the default value is written @"},
      {header + "[K]\n@\"a\"\n", "line 3: \"=\" was expected after the value name"},
      {header + "[K]\n@=\"a\"\n@=\"b\"\n", "line 4: the value appears twice in its key"},
  };
  for (const auto& [text, expected] : refused) {
    ClassRegistry r;
    r.SetValue("Kept", "", "no");
    EXPECT_FALSE(r.Parse(text, error)) << text;
    EXPECT_EQ(error, expected) << text;
    EXPECT_TRUE(r.Empty());
  }
}

#ifdef RSSVANE_TOOL_PATH
TEST_F(RegistryTest, TheToolRegistersTheLibraryBesideItAndTakesItOutAgain) {
  const std::string tool = RSSVANE_TOOL_PATH;
  ASSERT_EQ(std::system((tool + " register > /dev/null").c_str()), 0);
  const std::string installed = fs::path(RSSVANE_LIBRARY).parent_path() / RSSVANE_SONAME;
  EXPECT_EQ(*Registry().Value(std::string(kClassKey) + "\\InprocServer32"), installed);
  std::shared_ptr<IRSS> rss = CreateObject("Kestrix.RSS");
  EXPECT_EQ(rss->Invoke(rss->GetIDOfName(u"Timeout"), Kind::kPropertyGet, {}), Variant(int16_t{60}));
  rss.reset();
  ASSERT_EQ(std::system((tool + " unregister > /dev/null").c_str()), 0);
  EXPECT_FALSE(fs::exists(RegistryFile()));
  EXPECT_NE(std::system((tool + " register /nonexistent/librssvane.so 2> /dev/null").c_str()), 0);
  EXPECT_FALSE(fs::exists(RegistryFile()));
}
#endif

}  // namespace
}  // namespace rssvane
