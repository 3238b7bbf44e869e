# The game's arithmetic must come out the same bit for bit on every machine
# and in every build of it (native, sanitizer, WebAssembly, Windows): no
# contraction into fused multiply-adds, no fast-math. Every build includes
# this file; no build sets these flags anywhere else.
include_guard(GLOBAL)
add_compile_options(-Wall -Wextra -ffp-contract=off -fno-fast-math)
