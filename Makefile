# The two commands of the README: `make check` and `make demo`. Both set up what they need.
SHELL := /bin/bash
JOBS := $(shell nproc)
FUZZ_SECONDS ?= 60
SOURCES = $(shell git ls-files '*.cpp' '*.h')

.PHONY: all setup i386-root build cd sign dist unit check check-stress check-shipped demo bench fuzz pictures format \
	format-check clean

all: build

setup:
	@tools/install-deps.sh

# Where wine32:i386 cannot be installed, the i386 root 32-bit Wine runs in (tools/i386_root.py).
i386-root: setup
	@tools/install-deps.sh --i386-root

build: setup
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS)
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j $(JOBS)

# The demo CD as it would be burnt, from the i686 programs the CD ships, and its image.
cd: build
	tools/stage-cd.sh build/win32 build/host build/cd
	tools/make-iso.sh build/cd build/varnok-cd.iso

# Signs the CD's programs with the certificate and key VARNOK_SIGN_CERT and VARNOK_SIGN_KEY
# name, a key file or a key in a token (see tools/sign.sh), and writes the image again.
sign: cd
	tools/sign.sh build/cd
	tools/make-iso.sh build/cd build/varnok-cd.iso

# What is handed over: the image, signed and time-stamped where a certificate is named, and
# its checksum (see tools/dist.sh).
dist: cd
	tools/dist.sh build/cd build/varnok-cd.iso build/dist

# The quick loop: the native tree and its unit tests alone.
unit: setup
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS)
	ctest --preset host -j $(JOBS)

check: cd format-check i386-root
	ctest --preset host -j $(JOBS)
	/usr/bin/python3 tests/release/check_release.py --build build --work build/release
	python3 tests/e2e/run_tests.py --build build --work build/e2e

# The end-to-end suite with every core kept busy by a load the run starts and ends itself, to
# shake out races before CI does. Not part of CI.
check-stress: cd i386-root
	python3 tests/e2e/run_tests.py --build build --work build/e2e-stress --stress

# The shipped CD's i686 programs by this machine's route: the host's 32-bit Wine, or the i386
# root, natively or, where the kernel runs no 32-bit program, through qemu (slowly).
check-shipped: cd i386-root
	python3 tests/e2e/check_shipped.py --build build --work build/shipped

# Setup.exe from the staged CD under Wine: on your display, or headless with screenshots; in
# the language DEMO_LANG names (such as ja or de-DE) where it is given.
demo: cd
	DEMO_LANG="$(DEMO_LANG)" python3 demo/run_demo.py

# Redraws the committed pictures and icon from code.
pictures: setup
	/usr/bin/python3 tools/pictures/draw_pictures.py .

# Start-up time against an empty window program, and file sizes: figures, never a verdict.
bench: cd
	python3 tools/benchmark.py

# Coverage-guided fuzzing of the clip reader with libFuzzer; new inputs go to build/fuzz.
fuzz: setup
	cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
	    -DVARNOK_LIBFUZZER=ON >/dev/null
	cmake --build build/fuzz --target clip_fuzzer -j $(JOBS)
	mkdir -p build/fuzz/corpus build/fuzz/findings
	build/fuzz/tests/fuzz/clip_fuzzer build/fuzz/corpus tests/fuzz/corpus \
	    -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=10 \
	    -artifact_prefix=build/fuzz/findings/ </dev/null

format:
	clang-format -i $(SOURCES)

format-check:
	clang-format --dry-run --Werror $(SOURCES)

clean:
	rm -rf build
