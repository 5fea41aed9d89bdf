#include "cryptoengine/Format.h"

#include <cryptopp/aes.h>
#include <cryptopp/gcm.h>
#include <cryptopp/hkdf.h>
#include <cryptopp/sha.h>
#include <cryptopp/twofish.h>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "cryptoengine/Kdf.h"

namespace vkcrypto::detail {
namespace {

constexpr uint8_t kCipherRijndael = 1;
constexpr uint8_t kCipherTwofish = 2;
constexpr uint8_t kHashSha2 = 1;
constexpr uint8_t kHashHaval = 2;

std::unique_ptr<CryptoPP::AuthenticatedSymmetricCipher> NewGcm(Method cipher, bool encrypt) {
  if (cipher == Method::kTwofish) {
    if (encrypt) return std::make_unique<CryptoPP::GCM<CryptoPP::Twofish>::Encryption>();
    return std::make_unique<CryptoPP::GCM<CryptoPP::Twofish>::Decryption>();
  }
  if (encrypt) return std::make_unique<CryptoPP::GCM<CryptoPP::AES>::Encryption>();
  return std::make_unique<CryptoPP::GCM<CryptoPP::AES>::Decryption>();
}

// One key per message or file, from the derived key and the random nonce, so
// that thousands of messages under one derived key never share a GCM key and
// nonce pair whatever the nonce generator does.
std::unique_ptr<CryptoPP::AuthenticatedSymmetricCipher> KeyedGcm(const PasswordHeader& header, const uint8_t* key,
                                                                  bool encrypt) {
  const size_t keySize = size_t(header.keyBits) / 8;
  const char* info = header.kind == kKindFile ? "VK1 file" : "VK1 message";
  CryptoPP::SecByteBlock subkey(keySize);
  CryptoPP::HKDF<CryptoPP::SHA256>().DeriveKey(subkey.data(), keySize, key, keySize, header.nonce.data(),
                                               header.nonce.size(), reinterpret_cast<const uint8_t*>(info),
                                               std::char_traits<char>::length(info));
  auto gcm = NewGcm(header.cipher, encrypt);
  const std::array<uint8_t, 12> firstIv{};  // every use passes its own
  gcm->SetKeyWithIV(subkey.data(), keySize, firstIv.data(), firstIv.size());
  return gcm;
}

// Chunk i of a file: an 11-byte big-endian counter and a last-chunk flag.
std::array<uint8_t, 12> ChunkIv(uint64_t counter, bool last) {
  std::array<uint8_t, 12> iv{};
  for (int i = 0; i < 8; ++i) iv[10 - i] = uint8_t(counter >> (8 * i));
  iv[11] = last ? 1 : 0;
  return iv;
}

}  // namespace

void ThrowDamaged() { throw EngineError(ErrorKind::kWrongPasswordOrDamaged, "wrong password or damaged data"); }

HeaderBytes EncodeHeader(const PasswordHeader& header) {
  HeaderBytes out{};
  out[0] = kMagic0;
  out[1] = kMagic1;
  out[2] = kVersion;
  out[3] = header.kind;
  out[4] = header.cipher == Method::kTwofish ? kCipherTwofish : kCipherRijndael;
  out[5] = uint8_t(header.keyBits / 8);
  out[6] = header.hashing == HashingMethod::kHaval ? kHashHaval : kHashSha2;
  out[7] = uint8_t(header.hashBits / 8);
  for (int i = 0; i < 4; ++i) out[8 + i] = uint8_t(header.iterations >> (24 - 8 * i));
  std::copy(header.salt.begin(), header.salt.end(), out.begin() + 12);
  std::copy(header.nonce.begin(), header.nonce.end(), out.begin() + 28);
  return out;
}

uint8_t ReadKind(const uint8_t* data, size_t size) {
  if (size < 4 || data[0] != kMagic0 || data[1] != kMagic1) {
    throw EngineError(ErrorKind::kUnsupportedFormat, "not data encrypted by this program");
  }
  if (data[2] != kVersion) throw EngineError(ErrorKind::kUnsupportedFormat, "unsupported format version");
  if (data[3] != kKindMessage && data[3] != kKindFile && data[3] != kKindRsa) ThrowDamaged();
  return data[3];
}

PasswordHeader ParseHeader(const uint8_t* data, size_t size) {
  PasswordHeader header;
  header.kind = ReadKind(data, size);
  if (size < kHeaderSize || header.kind == kKindRsa) ThrowDamaged();
  if (data[4] == kCipherRijndael) {
    header.cipher = Method::kRijndael;
  } else if (data[4] == kCipherTwofish) {
    header.cipher = Method::kTwofish;
  } else {
    ThrowDamaged();
  }
  header.keyBits = data[5] * 8;
  if (header.keyBits != 128 && header.keyBits != 192 && header.keyBits != 256) ThrowDamaged();
  if (data[6] == kHashSha2) {
    header.hashing = HashingMethod::kSha2;
  } else if (data[6] == kHashHaval) {
    header.hashing = HashingMethod::kHaval;
  } else {
    ThrowDamaged();
  }
  header.hashBits = data[7] * 8;
  if (!IsValidHashChoice(header.hashing, header.hashBits)) ThrowDamaged();
  header.iterations = uint32_t(data[8]) << 24 | uint32_t(data[9]) << 16 | uint32_t(data[10]) << 8 | data[11];
  if (header.iterations == 0) ThrowDamaged();
  if (header.iterations > kMaxIterations) {
    throw EngineError(ErrorKind::kUnsupportedFormat,
                      "the key derivation asks for " + std::to_string(header.iterations) +
                          " iterations, more than the " + std::to_string(kMaxIterations) +
                          " this program allows: the data is damaged or made to stall its reader");
  }
  std::copy(data + 12, data + 28, header.salt.begin());
  std::copy(data + 28, data + 44, header.nonce.begin());
  return header;
}

Bytes SealMessage(const PasswordHeader& header, const uint8_t* key, const uint8_t* plain, size_t size) {
  const HeaderBytes head = EncodeHeader(header);
  Bytes out(kHeaderSize + size + kTagSize);
  std::copy(head.begin(), head.end(), out.begin());
  const std::array<uint8_t, 12> iv{};
  KeyedGcm(header, key, true)
      ->EncryptAndAuthenticate(out.data() + kHeaderSize, out.data() + kHeaderSize + size, kTagSize, iv.data(),
                               int(iv.size()), head.data(), head.size(), plain, size);
  return out;
}

Bytes OpenMessage(const PasswordHeader& header, const uint8_t* key, const uint8_t* sealed, size_t size) {
  if (size < kHeaderSize + kTagSize) ThrowDamaged();
  const size_t bodySize = size - kHeaderSize - kTagSize;
  Bytes plain(bodySize);
  const std::array<uint8_t, 12> iv{};
  const bool good = KeyedGcm(header, key, false)
                        ->DecryptAndVerify(plain.data(), sealed + size - kTagSize, kTagSize, iv.data(),
                                           int(iv.size()), sealed, kHeaderSize, sealed + kHeaderSize, bodySize);
  if (!good) {
    CryptoPP::SecureWipeBuffer(plain.data(), plain.size());
    ThrowDamaged();
  }
  return plain;
}

namespace {

constexpr size_t kBatchChunks = 16;
constexpr size_t kSealedChunkSize = kChunkSize + kTagSize;

// A second thread that works on half of each batch of chunks while the
// caller works on the other half: chunks are independent under their own
// IVs, and one core cannot keep up with a disk for Twofish. It starts only
// for data of more than one batch, so small fields and files never pay for it.
class HalfBatchHelper {
 public:
  HalfBatchHelper() : thread_([this] { Loop(); }) {}
  ~HalfBatchHelper() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  HalfBatchHelper(const HalfBatchHelper&) = delete;
  HalfBatchHelper& operator=(const HalfBatchHelper&) = delete;

  // Runs job here and own on the calling thread; returns when both are done.
  void Run(std::function<void()> job, const std::function<void()>& own) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job_ = std::move(job);
      finished_ = false;
      error_ = nullptr;
    }
    wake_.notify_all();
    std::exception_ptr ownError;
    try {
      own();
    } catch (...) {
      ownError = std::current_exception();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return finished_; });
    if (ownError) std::rethrow_exception(ownError);
    if (error_) std::rethrow_exception(error_);
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stop_ || job_; });
      if (stop_) return;
      auto job = std::move(job_);
      job_ = nullptr;
      lock.unlock();
      std::exception_ptr error;
      try {
        job();
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      error_ = error;
      finished_ = true;
      done_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::function<void()> job_;
  std::exception_ptr error_;
  bool finished_ = true;
  bool stop_ = false;
  std::thread thread_;
};

// The chunks of one batch: sealing or opening chunk j with the cipher of the
// thread that does it.
class BatchRunner {
 public:
  BatchRunner(const PasswordHeader& header, const uint8_t* key, bool encrypt)
      : header_(header), key_(key), encrypt_(encrypt), main_(KeyedGcm(header, key, encrypt)) {}

  void ForEach(size_t count, const std::function<void(CryptoPP::AuthenticatedSymmetricCipher&, size_t)>& work) {
    if (count < 2 || std::thread::hardware_concurrency() < 2) {
      for (size_t j = 0; j < count; ++j) work(*main_, j);
      return;
    }
    if (!helper_) {
      second_ = KeyedGcm(header_, key_, encrypt_);
      helper_ = std::make_unique<HalfBatchHelper>();
    }
    const size_t half = count / 2;
    helper_->Run([&] { for (size_t j = half; j < count; ++j) work(*second_, j); },
                 [&] { for (size_t j = 0; j < half; ++j) work(*main_, j); });
  }

 private:
  const PasswordHeader& header_;
  const uint8_t* key_;
  bool encrypt_;
  std::unique_ptr<CryptoPP::AuthenticatedSymmetricCipher> main_;
  std::unique_ptr<CryptoPP::AuthenticatedSymmetricCipher> second_;
  std::unique_ptr<HalfBatchHelper> helper_;
};

}  // namespace

void SealStream(const PasswordHeader& header, const uint8_t* key, const ReadFn& read, const WriteFn& write,
                const StepFn& step) {
  const HeaderBytes head = EncodeHeader(header);
  write(head.data(), head.size());
  BatchRunner runner(header, key, true);
  CryptoPP::SecByteBlock plain(kBatchChunks * kChunkSize);
  std::vector<uint8_t> sealed(kBatchChunks * kSealedChunkSize);
  uint64_t done = 0;
  for (uint64_t counter = 0;;) {
    const size_t got = read(plain.data(), plain.size());
    // A full chunk is never the last one: data that ends on a chunk boundary
    // gets an empty last chunk.
    const bool end = got < plain.size();
    const size_t count = end ? got / kChunkSize + 1 : kBatchChunks;
    runner.ForEach(count, [&](CryptoPP::AuthenticatedSymmetricCipher& gcm, size_t j) {
      const bool last = end && j + 1 == count;
      const size_t size = last ? got % kChunkSize : kChunkSize;
      const auto iv = ChunkIv(counter + j, last);
      uint8_t* out = sealed.data() + j * kSealedChunkSize;
      gcm.EncryptAndAuthenticate(out, out + size, kTagSize, iv.data(), int(iv.size()), head.data(), head.size(),
                                 plain.data() + j * kChunkSize, size);
    });
    // Chunks are contiguous: all but the last of a batch are full.
    write(sealed.data(), got + count * kTagSize);
    counter += count;
    done += got;
    if (step) step(done);
    if (end) break;
  }
}

void OpenStream(const PasswordHeader& header, const uint8_t* key, const ReadFn& read, const WriteFn& write,
                const StepFn& step) {
  const HeaderBytes head = EncodeHeader(header);
  BatchRunner runner(header, key, false);
  std::vector<uint8_t> sealed(kBatchChunks * kSealedChunkSize);
  CryptoPP::SecByteBlock plain(kBatchChunks * kChunkSize);
  uint64_t done = kHeaderSize;
  for (uint64_t counter = 0;;) {
    const size_t got = read(sealed.data(), sealed.size());
    const bool end = got < sealed.size();
    // Fewer than a tag's bytes at the end: the file was cut after a full
    // (so not last) chunk.
    if (end && got % kSealedChunkSize < kTagSize) ThrowDamaged();
    const size_t count = end ? got / kSealedChunkSize + 1 : kBatchChunks;
    std::atomic<bool> good{true};
    runner.ForEach(count, [&](CryptoPP::AuthenticatedSymmetricCipher& gcm, size_t j) {
      const bool last = end && j + 1 == count;
      const size_t size = last ? got % kSealedChunkSize - kTagSize : kChunkSize;
      const auto iv = ChunkIv(counter + j, last);
      const uint8_t* in = sealed.data() + j * kSealedChunkSize;
      if (!gcm.DecryptAndVerify(plain.data() + j * kChunkSize, in + size, kTagSize, iv.data(), int(iv.size()),
                                head.data(), head.size(), in, size)) {
        good = false;
      }
    });
    if (!good) ThrowDamaged();
    write(plain.data(), got - count * kTagSize);
    counter += count;
    done += got;
    if (step) step(done);
    if (end) break;
  }
}

}  // namespace vkcrypto::detail
