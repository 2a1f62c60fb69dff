// The floor under a command's output: prints the lines of a file the way
// dsnconf prints its own, one write and one flush per line, and nothing else.
//   dsnconf_print_lines <file of captured output>
// The file is mapped, not read, so the timed work is the output alone.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <file>\n", argv[0]);
    return 2;
  }
  const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
    return 1;
  }
  const auto size = static_cast<std::size_t>(st.st_size);
  if (size == 0) return 0;
  // Mapped, not copied: the floor pays for no buffer of its own.
  void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (mapped == MAP_FAILED) {
    std::fprintf(stderr, "%s: cannot map %s\n", argv[0], argv[1]);
    return 1;
  }
  const char* text = static_cast<const char*>(mapped);
  for (std::size_t start = 0; start < size;) {
    const void* lf = std::memchr(text + start, '\n', size - start);
    const std::size_t end =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text) : size;
    std::fwrite(text + start, 1, end - start, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    start = end + 1;
  }
  return 0;
}
