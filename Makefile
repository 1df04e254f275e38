# Two entry points on a fresh Debian 12 machine: `make run` and `make test`.

PACKAGES := g++ cmake make qt6-base-dev qt6-multimedia-dev libjpeg62-turbo-dev \
            libgtest-dev libbenchmark-dev xvfb xauth xboard fairymax fonts-dejavu-core
JOBS ?= $(shell nproc 2>/dev/null || echo 4)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PROGRAM := build/release/app/morlaquin

.PHONY: run test setup release asan bench clean

setup:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

release: setup
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release
	cmake --build build/release -j $(JOBS)

asan: setup
	cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DMORLAQUIN_SANITIZE=ON
	cmake --build build/asan -j $(JOBS)

# Started in the user's home folder, the program reads its files from the
# data beside it, keeps the files it rewrites in the user's data folder and
# offers to save games and positions in the home folder: the checkout is
# never written.
run: release
	cd "$$HOME" && exec "$(CURDIR)/$(PROGRAM)"

# Both builds' tests run even when the first has failures; either fails the target.
test: release asan
	@status=0; \
	(cd build/release && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)) || status=1; \
	(cd build/asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)) || status=1; \
	[ $$status -eq 0 ] || echo "make test: tests failed (see above)"; \
	exit $$status

# Every benchmark, each with the arguments the README's figures were taken with.
bench: release
	build/release/bench/perft "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1" 6
	build/release/bench/searchbench
	QT_QPA_PLATFORM=offscreen build/release/bench/pgnbench
	QT_QPA_PLATFORM=offscreen build/release/bench/inibench
	QT_QPA_PLATFORM=offscreen build/release/bench/protocollatency

clean:
	rm -rf build
