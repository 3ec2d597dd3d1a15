#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <thread>

#include "child_process.h"
#include "device_secrets.h"
#include "scratch_dir.h"
#include "secret_fingerprint.h"
#include "secret_sources.h"
#include "sha512_crypt.h"
#include "uniform_draw.h"

namespace quillmark::secrets {
namespace {

using test::ChildProcess;
using test::ChildResult;
using test::RunChild;
using test::ScratchDir;

// hostapd with no driver: it reads and checks its configuration, derives
// the PSK from the passphrase and answers on a control socket in a
// scratch folder, and touches no interface of the machine's.
class Hostapd {
 public:
  Hostapd(const ScratchDir& dir, const std::string& passphrase)
      : m_control(dir / "control"), m_config(dir / "hostapd.conf") {
    std::ofstream(m_config) << "driver=none\ninterface=" << kInterface
                            << "\nctrl_interface=" << m_control
                            << "\nssid=Quill-4D5E\nwpa=2\nwpa_key_mgmt=WPA-PSK\n"
                               "rsn_pairwise=CCMP\nwps_state=2\neap_server=1\n"
                               "wpa_passphrase="
                            << passphrase << "\n";
    m_process = std::make_unique<ChildProcess>(std::vector<std::string>{"hostapd", m_config});
  }

  // True once it answers on its socket, within ten seconds.
  bool Answers() {
    for (int attempt = 0; attempt < 200; ++attempt) {
      if (Ask({"ping"}) == "PONG")
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  // How it ended (stopped if still running after ten seconds).
  ChildResult Ended() { return m_process->Finish(std::chrono::seconds(10)); }

  std::string Ask(std::vector<std::string> command) {
    std::vector<std::string> argv = {"hostapd_cli", "-p", m_control, "-i", kInterface};
    argv.insert(argv.end(), command.begin(), command.end());
    std::string out = RunChild(argv).out;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
      out.pop_back();
    return out;
  }

 private:
  static constexpr const char* kInterface = "quillmark0";
  std::string m_control;
  std::string m_config;
  std::unique_ptr<ChildProcess> m_process;
};

TEST(SecretsByTools, HostapdAcceptsEveryPinAndRefusesEveryOtherLastDigit) {
  ScratchDir dir;
  SystemSecretSource source;
  Hostapd hostapd(dir, *DrawPassphrase(source, 16).value);
  ASSERT_TRUE(hostapd.Answers()) << hostapd.Ended().out;
  BatchSecrets batch(source);
  std::vector<std::string> pins = {"00000000"};
  test::FixedBytes zeros({0x00, 0x00, 0x01});
  pins.push_back(*DrawWpsPin(zeros).value);
  for (int i = 0; i < 40; ++i)
    pins.push_back(*batch.WpsPin().value);
  for (const std::string& pin : pins) {
    EXPECT_EQ(hostapd.Ask({"wps_check_pin", pin}), pin);
    for (char last = '0'; last <= '9'; ++last) {
      if (last == pin.back())
        continue;
      const std::string changed = pin.substr(0, 7) + last;
      EXPECT_EQ(hostapd.Ask({"wps_check_pin", changed}), "FAIL-CHECKSUM") << changed;
    }
  }
}

TEST(SecretsByTools, HostapdStartsWithEachPassphrase) {
  SystemSecretSource source;
  BatchSecrets batch(source);
  std::vector<std::string> passphrases;
  for (const int length : {12, 13, 16, 16, 16, 16, 24, 32, 48, 62, 63})
    passphrases.push_back(*batch.Passphrase(length).value);
  for (const std::string& passphrase : passphrases) {
    ScratchDir dir;
    Hostapd hostapd(dir, passphrase);
    EXPECT_TRUE(hostapd.Answers()) << passphrase << "\n" << hostapd.Ended().out;
  }
  // And it does refuse one it cannot take: the check has teeth.
  ScratchDir dir;
  Hostapd refusing(dir, "only7ch");
  const ChildResult ended = refusing.Ended();
  EXPECT_FALSE(ended.timedOut);
  EXPECT_NE(ended.exitCode, 0);
}

// Printable text of every length from 1 to 130 characters, passwords far
// outside the drawn ones included, under drawn salts and short ones
// (openssl will not hash an empty password: it prints "<NULL>").
TEST(SecretsByTools, OpensslReproducesEachCryptHash) {
  SystemSecretSource source;
  std::mt19937 engine(6);
  std::uniform_int_distribution<int> printable(0x21, 0x7E);
  for (int length = 1; length <= 130; length += length < 20 ? 1 : 11) {
    std::string clear;
    for (int i = 0; i < length; ++i)
      clear += static_cast<char>(printable(engine));
    const auto hash = HashAdminPassword(source, clear);
    ASSERT_TRUE(hash.ok()) << hash.error;
    const std::string salt = hash.value->substr(3, 16);
    const ChildResult openssl = RunChild({"openssl", "passwd", "-6", "-salt", salt, clear});
    ASSERT_EQ(openssl.exitCode, 0) << openssl.err;
    EXPECT_EQ(openssl.out, *hash.value + "\n") << clear;
  }
  for (const std::string salt : {"a", "saltstring", "./0123456789ABCD"}) {
    const ChildResult openssl = RunChild({"openssl", "passwd", "-6", "-salt", salt, "Quill"});
    EXPECT_EQ(openssl.out, Sha512Crypt("Quill", salt) + "\n");
  }
}

TEST(SecretsByTools, OpensslGivesTheSameFingerprints) {
  ScratchDir dir;
  StationKey key;
  SystemSecretSource source;
  ASSERT_EQ(source.Read(key), "");
  for (const int length : {0, 12, 55, 56, 63, 64, 65, 119, 128, 200}) {
    std::string secret;
    if (length > 0)
      secret = *DrawText(source, kPassphraseAlphabet, static_cast<std::size_t>(length)).value;
    std::ofstream(dir / "secret", std::ios::binary) << secret;
    const ChildResult openssl = RunChild({"openssl", "dgst", "-sha256", "-mac", "HMAC", "-macopt",
                                          "hexkey:" + Hex(key), dir / "secret"});
    ASSERT_EQ(openssl.exitCode, 0) << openssl.err;
    EXPECT_EQ(openssl.out.substr(openssl.out.rfind("= ") + 2),
              SecretFingerprint(key, secret) + "\n")
        << length;
  }
}

}  // namespace
}  // namespace quillmark::secrets
