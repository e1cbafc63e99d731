/* Exits 0 when this kernel lets a 64-bit process run 32-bit code in
 * compatibility mode through the standard 32-bit user code segment, which
 * Wine's WoW64 mode needs; any other exit or a signal means it cannot. Some
 * virtual machines lack the segment and the 32-bit system calls alike. */
#define _GNU_SOURCE
#include <stdint.h>
#include <string.h>
#include <sys/mman.h>

int main(void) {
  /* Code, far pointer and stack must all lie below 4 GB for 32-bit code. */
  std::uint8_t* low = mmap((void*)0x10000000, 4096, PROT_READ | PROT_WRITE | PROT_EXEC,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (low == MAP_FAILED || (std::uintptr_t)low > 0xFFFFF000u) return 2;
  static const std::uint8_t code32[] = {0xB8, 42, 0, 0, 0, /* mov eax, 42 */ 0xCB /* retf */};
  memcpy(low, code32, sizeof code32);
  struct __attribute__((packed)) {
    std::uint32_t offset;
    std::uint16_t selector;
  }* target = (void*)(low + 0x100);
  target->offset = (std::uint32_t)(std::uintptr_t)low;
  target->selector = 0x23; /* user code, 32-bit */
  std::uint32_t* stack = (std::uint32_t*)(low + 0xF00);
  unsigned result;
  __asm__ volatile(
      "mov %%rsp, %%r12\n\t"
      "lea 1f(%%rip), %%rax\n\t"
      "mov %%eax, (%2)\n\t"   /* return offset: this code lies below 4 GB */
      "movl $0x33, 4(%2)\n\t" /* return selector: 64-bit user code */
      "mov %2, %%rsp\n\t"
      "ljmp *(%1)\n\t"
      "1: mov %%r12, %%rsp\n\t"
      : "=&a"(result)
      : "r"(target), "r"(stack)
      : "r12", "memory");
  return result == 42 ? 0 : 3;
}
