# The two commands of the README.
#   make demo  builds the native target and lists the plug-ins with panelsim
#   make test  installs what is missing, builds every target and runs every test

.PHONY: demo test deps native panel pc clean

demo: native
	./build/native/tools/panelsim/panelsim demo

test: deps
	./scripts/run-tests.sh

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
