# The commands of the README.
#   make demo   builds the native target and lists the plug-ins with panelsim
#   make test   installs what is missing, builds every target and runs every test
#   make bench  builds the plug-ins and the bench driver for the panel, the PC
#               and the bench build, and prints the footprint and cost tables
#   make fuzz   builds the fuzz targets and runs each for FUZZ_SECONDS (120)
#   make reliability  runs the fuzz targets, the fault sweeps and a soak of
#               SOAK_MESSAGES (3000) and prints the reliability table

.PHONY: demo test bench fuzz reliability deps native panel pc clean

demo: native
	./build/native/tools/panelsim/panelsim demo

test: deps
	./scripts/run-tests.sh

bench: deps
	for p in panel pc bench; do cmake --preset $$p >/dev/null && cmake --build --preset $$p --target bench_driver || exit 1; done
	python3 bench/footprint.py table

fuzz: deps
	./scripts/fuzz.sh

reliability: deps
	./scripts/reliability.sh

deps:
	./scripts/install-deps.sh

# panelsim needs the headers of CLI11, toml++ and utfcpp besides the compilers.
native:
	@command -v cmake >/dev/null && command -v ninja >/dev/null \
	  && test -f /usr/include/CLI/CLI.hpp && test -f /usr/include/toml++/toml.h \
	  && test -f /usr/include/utf8cpp/utf8.h || ./scripts/install-deps.sh
	cmake --preset native >/dev/null
	cmake --build --preset native

panel pc: deps
	cmake --preset $@ >/dev/null
	cmake --build --preset $@

clean:
	rm -rf build
