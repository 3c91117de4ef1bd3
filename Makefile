# The project's commands; each does its own set-up on a fresh Debian 12 machine.
.PHONY: test dist run bench fuzz analyze clean bootstrap

bootstrap:
	@scripts/bootstrap

# Builds every flavour and runs every test tier; ends with "N passed, M failed".
test: bootstrap
	@scripts/test-all

# The shipped binaries in their layout: dist/Lockvale.exe (i686), dist/ZelToolExt.dll (x86_64),
# dist/x64/Lockvale.exe (x86_64, the one that runs under 64-bit Wine), and the installers
# dist/Lockvale.msi (per user) and dist/Lockvale-machine.msi (per machine), and dist/SHA256SUMS;
# the same bytes from every build of one commit. Signed when given a certificate, and
# time-stamped by the server given, without which the signatures end with the certificate (it
# says so; SIGN_REQUIRE_TIMESTAMP=1, for a release, refuses to sign without one):
#   make dist SIGN_PFX=cert.pfx SIGN_PASS_FILE=password-file SIGN_TIMESTAMP_URL=url [SIGN_REQUIRE_TIMESTAMP=1]
dist: bootstrap
	@scripts/dist

# The main job. ARCH=i686 runs the program users install (dist/Lockvale.exe, 32-bit) in the
# 32-bit runtime instead of the quicker x64 build; the runtime is made on first use.
ARCH ?= x86_64
run: bootstrap
	@scripts/run $(if $(filter i686,$(ARCH)),--i686)

# Measurements against baselines taken in the same run, as one table (not part of `make test`).
bench: bootstrap
	@scripts/bench

# Every libFuzzer target for FUZZ_SECONDS each (default 300).
FUZZ_SECONDS ?= 300
fuzz: bootstrap
	@scripts/fuzz $(FUZZ_SECONDS)

# clang-tidy and cppcheck over our sources, native and x86_64 (also a stage of `make test`).
analyze: bootstrap
	@scripts/analyze

clean:
	rm -rf build dist
