# Thin wrapper over the CMake presets; see README.md.
.PHONY: bootstrap build run test test-default test-asan test-sensor test-fuzz format-check package clean

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

# The digital-sensor build (preset sensor): all of it is built, both front
# ends included, but only the tests labelled "product" run, those of what
# differs between the two products (its image, constants and update engine).
# The rest is the same code as the default build's and is tested there.
test-sensor: bootstrap
	cmake --preset sensor >/dev/null
	cmake --build --preset sensor
	ctest --preset sensor -L product

# Every fuzz target briefly over its seed corpus (tools/fuzz-long.sh for long runs).
test-fuzz:
	@tools/bootstrap.sh fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz
	fuzz/smoke.sh build/fuzz 2000

test: format-check test-default test-asan test-sensor test-fuzz

# The Debian packages of the Pumatic updater (build/default/halvbsl_*.deb)
# and of the digital-sensor updater (build/sensor/halvbsl-sdi_*.deb).
package: bootstrap
	cmake --preset default >/dev/null
	cmake --build --preset default --target package
	cmake --preset sensor >/dev/null
	cmake --build --preset sensor --target package

clean:
	rm -rf build
