# Thin wrapper over the CMake presets; see README.md.
.PHONY: bootstrap build run test test-default test-asan format-check clean

bootstrap:
	@tools/bootstrap.sh

build: bootstrap
	cmake --preset default >/dev/null
	cmake --build --preset default

run: bootstrap
	cmake --preset default >/dev/null
	cmake --build --preset default --target halvbsl-cli halvsim halvbsl
	tools/run-demo.sh build/default

format-check: bootstrap
	tools/format-check.sh

test-default: bootstrap
	cmake --preset default >/dev/null
	cmake --build --preset default
	ctest --preset default

test-asan: bootstrap
	cmake --preset asan >/dev/null
	cmake --build --preset asan
	ctest --preset asan

test: format-check test-default test-asan

clean:
	rm -rf build
