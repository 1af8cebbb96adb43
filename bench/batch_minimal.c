/* The least a batch printout must do, as the yardstick of bench
   batch_folder: "batch_minimal SPRING OUT SIZE" reads the spring file and
   writes SIZE bytes to OUT with one fsync. Exit 0 when all went well. */
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  char buf[65536];
  if (argc != 4) return 2;
  int in = open(argv[1], O_RDONLY);
  if (in < 0) return 1;
  ssize_t got;
  while ((got = read(in, buf, sizeof buf)) > 0) {
  }
  close(in);
  if (got < 0) return 1;
  long size = strtol(argv[3], NULL, 10);
  int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) return 1;
  memset(buf, 'x', sizeof buf);
  while (size > 0) {
    ssize_t n = write(out, buf, size < (long)sizeof buf ? (size_t)size : sizeof buf);
    if (n <= 0) return 1;
    size -= n;
  }
  if (fsync(out) != 0 || close(out) != 0) return 1;
  return 0;
}
