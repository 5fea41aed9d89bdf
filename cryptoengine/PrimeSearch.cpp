#include "cryptoengine/PrimeSearch.h"

#include <cryptopp/argnames.h>
#include <cryptopp/nbtheory.h>

namespace vkcrypto::detail {

namespace {

// The library's own RSA prime rule (e and p - 1 share no factor), asked
// about every candidate the sieve lets through, which makes it the place
// where a long search can be stopped.
class StoppablePrimeSelector : public CryptoPP::PrimeSelector {
 public:
  StoppablePrimeSelector(const CryptoPP::Integer& e, const Progress& progress) : e_(e), progress_(progress) {}

  bool IsAcceptable(const CryptoPP::Integer& candidate) const override {
    if (progress_ && !progress_(0, 0)) throw EngineError(ErrorKind::kCancelled, "cancelled");
    return CryptoPP::Integer::Gcd(e_, candidate - CryptoPP::Integer::One()).IsUnit();
  }

 private:
  const CryptoPP::Integer& e_;
  const Progress& progress_;
};

}  // namespace

CryptoPP::InvertibleRSAFunction GenerateRsaKey(CryptoPP::RandomNumberGenerator& rng, int bits,
                                               const Progress& progress) {
  const CryptoPP::Integer e(65537);
  const StoppablePrimeSelector selector(e, progress);
  const CryptoPP::AlgorithmParameters primes =
      CryptoPP::MakeParametersForTwoPrimesOfEqualSize(static_cast<unsigned>(bits))(
          CryptoPP::Name::PointerToPrimeSelector(), selector.GetSelectorPointer());
  CryptoPP::Integer p, q;
  p.GenerateRandom(rng, primes);
  do {
    q.GenerateRandom(rng, primes);
  } while (q == p);
  const CryptoPP::Integer one = CryptoPP::Integer::One();
  const CryptoPP::Integer d = e.InverseMod(CryptoPP::LCM(p - one, q - one));
  CryptoPP::InvertibleRSAFunction key;
  key.Initialize(p * q, e, d, p, q, d % (p - one), d % (q - one), q.InverseMod(p));
  return key;
}

}  // namespace vkcrypto::detail
