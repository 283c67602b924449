// The floor that loading a quotes file is held to: what `wc -l` does. The file is read once
// through one small buffer, used over and over, and its line feeds are counted. Nothing is
// kept, so no memory is taken for the text: the least that any program that looks at every
// byte of the file must spend.
//
// usage: zanto-stream-floor FILE
// prints: the number of line feeds
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#define FLOOR_DISPATCH 1
#include <immintrin.h>
#else
#define FLOOR_DISPATCH 0
#endif

namespace {

// Owns a file descriptor.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::uint64_t CountBytes(const char* data, std::size_t i, std::size_t n) {
  std::uint64_t feeds = 0;
  for (; i < n; ++i) feeds += data[i] == '\n';
  return feeds;
}

// Sixteen bytes at a time into as many one-byte counters, emptied before any can overflow.
std::uint64_t CountLineFeeds(const char* data, std::size_t n) {
  std::uint64_t feeds = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  while (i + 16 <= n) {
    __m128i counts = _mm_setzero_si128();
    for (int round = 0; round < 255 && i + 16 <= n; ++round, i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
      counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(v, lf));
    }
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    feeds += static_cast<std::uint64_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::uint64_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }
#endif
  return feeds + CountBytes(data, i, n);
}

#if FLOOR_DISPATCH
// And 32 at a time where the processor can, as `wc -l` does.
[[gnu::target("avx2")]] std::uint64_t CountLineFeedsAvx2(const char* data, std::size_t n) {
  std::uint64_t feeds = 0;
  std::size_t i = 0;
  const __m256i lf = _mm256_set1_epi8('\n');
  while (i + 32 <= n) {
    __m256i counts = _mm256_setzero_si256();
    for (int round = 0; round < 255 && i + 32 <= n; ++round, i += 32) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
      counts = _mm256_sub_epi8(counts, _mm256_cmpeq_epi8(v, lf));
    }
    const __m256i sums = _mm256_sad_epu8(counts, _mm256_setzero_si256());
    feeds += static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 0)) +
             static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 1)) +
             static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 2)) +
             static_cast<std::uint64_t>(_mm256_extract_epi64(sums, 3));
  }
  return feeds + CountBytes(data, i, n);
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zanto-stream-floor FILE\n");
    return 2;
  }
  Fd fd(::open(argv[1], O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    std::perror(argv[1]);
    return 1;
  }
  auto count = CountLineFeeds;
#if FLOOR_DISPATCH
  if (__builtin_cpu_supports("avx2")) count = CountLineFeedsAvx2;
#endif
  // What `wc` reads at a time: small enough to stay in the nearest caches.
  static char buffer[1 << 14];
  std::uint64_t feeds = 0;
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      std::perror(argv[1]);
      return 1;
    }
    if (got == 0) break;
    feeds += count(buffer, static_cast<std::size_t>(got));
  }
  std::printf("%llu\n", static_cast<unsigned long long>(feeds));
  return 0;
}
