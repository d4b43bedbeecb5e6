# The two everyday commands: `make test` and `make run`. Packages are installed first when missing.
JOBS ?= $(shell nproc)
SECONDS ?= 60

.PHONY: deps build test test-release test-asan run bench fuzz mutate clean package python

deps:
	./scripts/install-deps

build: deps
	cmake --preset release
	cmake --build --preset release -j$(JOBS)

test-release: build
	ctest --preset release -j$(JOBS) -LE slow

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j$(JOBS)
	ctest --preset asan -j$(JOBS) -LE slow

test: test-release test-asan

# The Python package in build/release/python/marvek (use it with PYTHONPATH=build/release/python,
# or install it into your site-packages: cmake --install build/release --component python).
python: deps
	cmake --preset release
	cmake --build --preset release -j$(JOBS) --target _marvek marvek-cli

# Opens the window on the bundled curves; without a display, analyses them with the cli instead.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -x ./build/release/app/marvek ]; then \
	  ./build/release/app/marvek examples/*.csv; \
	else \
	  echo "make run: no display (DISPLAY and WAYLAND_DISPLAY unset); analysing the examples with marvek-cli instead"; \
	  ./build/release/cli/marvek-cli analyze examples/*.csv; \
	fi

# Release build of the benchmarks; prints Google Benchmark's table, then the summary with the
# speed-ups and targets.
bench: deps
	cmake --preset bench
	cmake --build --preset bench -j$(JOBS) --target marvek_bench
	./build/bench/bench/marvek_bench

FUZZ_TARGETS = curve_reader_fuzz parameter_file_fuzz recent_selections_fuzz multi_cycle_fuzz \
               text_import_fuzz zip_import_fuzz xls_import_fuzz merge_fuzz

# Runs each libFuzzer target for $(SECONDS) s from its seed corpus (clang, ASan, UBSan).
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j$(JOBS)
	for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t && \
	  ./build/fuzz/fuzz/$$t -max_total_time=$(SECONDS) -print_final_stats=1 \
	    build/fuzz/corpus/$$t fuzz/corpus/$$t || exit 1; \
	done

# Plants each fault of scripts/mutations.txt in turn (in a copy of the tree, build/mutate), runs
# the tests meant to catch it and prints the faults no test caught.
mutate: deps
	./scripts/mutate --jobs $(JOBS)

# A .deb of the release build (program, cli, desktop entry, icon, metainfo, man pages).
package: build
	cd build/release && cpack -G DEB

clean:
	rm -rf build
