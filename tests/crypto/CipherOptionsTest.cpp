#include "crypto/CipherOptions.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QToolButton>
#include <QWidget>

#include "crypto/FilePaths.h"
#include "crypto/OptionButtons.h"

namespace vk {
namespace {

QStringList MenuKeys(QToolButton* button) {
  QStringList keys;
  for (QAction* a : button->menu()->actions()) keys << a->data().toString();
  return keys;
}

TEST(CipherOptions, AFreshSetShowsTheDefaultsAndTheHashSizesFollowTheAlgorithm) {
  QWidget parent;
  OptionButtons options(&parent, false);
  EXPECT_EQ(options.EncAlgoButton()->text(), "Encryption Algorithm: Rijndael");
  EXPECT_EQ(options.PwdSizeButton()->text(), "Password Strength: 128 Bits");
  EXPECT_EQ(options.HashAlgoButton()->text(), "Hashing Algorithm: SHA-2");
  EXPECT_EQ(options.HashValSizeButton()->text(), "Hash Size: 160 Bits");
  EXPECT_EQ(MenuKeys(options.EncAlgoButton()), (QStringList{"ALGO_RIJNDAEL", "ALGO_TWOFISH"}));
  EXPECT_EQ(MenuKeys(options.HashValSizeButton()),
            (QStringList{"HASH_SIZE_160", "HASH_SIZE_256", "HASH_SIZE_384", "HASH_SIZE_512"}));

  options.HashValSizeButton()->menu()->actions().at(1)->trigger();
  EXPECT_EQ(options.HashValSizeButton()->text(), "Hash Size: 256 Bits");
  options.HashAlgoButton()->menu()->actions().at(1)->trigger();
  EXPECT_EQ(options.HashAlgoButton()->text(), "Hashing Algorithm: Havel");
  EXPECT_EQ(options.HashAlgoButton()->menu()->actions().at(1)->text(), "Havel");
  EXPECT_EQ(options.SelectedHashAlgo(), "HASH_ALGO_HAVEL");
  EXPECT_EQ(MenuKeys(options.HashValSizeButton()),
            (QStringList{"HASH_SIZE_128", "HASH_SIZE_160", "HASH_SIZE_192", "HASH_SIZE_224", "HASH_SIZE_256"}));
  EXPECT_EQ(options.HashValSizeButton()->text(), "Hash Size: 128 Bits");
  options.HashAlgoButton()->menu()->actions().at(0)->trigger();
  EXPECT_EQ(options.HashValSizeButton()->text(), "Hash Size: 160 Bits");

  // A key no table lists is kept and changes nothing else.
  options.SetSelectedPWDSize("BITS_999");
  EXPECT_EQ(options.SelectedPWDSize(), "BITS_999");
  EXPECT_EQ(options.PwdSizeButton()->text(), "Password Strength: 128 Bits");
  EngineSettings settings = options.Settings();
  EXPECT_EQ(settings.keyBits, 0);
  EXPECT_EQ(settings.hashBits, 160);
  EXPECT_EQ(settings.method, vkcrypto::Method::kRijndael);
  EXPECT_EQ(settings.hashing, vkcrypto::HashingMethod::kSha2);
}

TEST(CipherOptions, TheMessageViewOffersRsaAndTheKeySizesEndAt7128) {
  QWidget parent;
  OptionButtons options(&parent, true);
  EXPECT_EQ(MenuKeys(options.EncAlgoButton()), (QStringList{"ALGO_RIJNDAEL", "ALGO_TWOFISH", "ALGO_RSA"}));
  options.EncAlgoButton()->menu()->actions().at(2)->trigger();
  EXPECT_EQ(options.EncAlgoButton()->text(), "Encryption Algorithm: RSA");
  EXPECT_EQ(MapOptions("ALGO_TWOFISH", "BITS_256", "HASH_ALGO_HAVEL", "HASH_SIZE_224").method,
            vkcrypto::Method::kTwofish);
  EXPECT_EQ(MapOptions("ALGO_X", "BITS_192", "HASH_ALGO_X", "HASH_SIZE_384").keyBits, 192);
  EXPECT_FALSE(MapOptions("ALGO_X", "BITS_192", "HASH_ALGO_X", "HASH_SIZE_384").method.has_value());
  ASSERT_EQ(KeySizeItems().size(), 10u);
  EXPECT_EQ(KeySizeItems().back().bits, 7128);
  EXPECT_STREQ(KeySizeItems().back().buttonCaption, "Key Size: 7128 Bits");
}

TEST(FilePaths, StripExtensionAndTheDefaultDestination) {
  EXPECT_EQ(DefaultDestination("/data/report.txt"), "/data/report.vkf");
  EXPECT_EQ(DefaultDestination("/data/archive.tar.gz"), "/data/archive.tar.vkf");
  EXPECT_EQ(DefaultDestination("/my.dir/readme"), "/my.dir/readme.vkf");
  EXPECT_EQ(StripExtension("readme"), "");
  EXPECT_EQ(StripExtension(".profile"), "");
  EXPECT_EQ(DefaultDestination("readme"), "");
  EXPECT_EQ(DefaultDestination(".profile"), "");
  EXPECT_EQ(SplitFolder("/out/x.vkf").folder, "/out/");
  EXPECT_EQ(SplitFolder("/out/x.vkf").name, "x.vkf");
  EXPECT_EQ(SplitFolder("x.vkf").folder, "");
  EXPECT_EQ(SplitFolder("x.vkf").name, "x.vkf");
}

}  // namespace
}  // namespace vk
