# The front door: `make demo`, `make test`, `make run`, `make package`,
# `make bench`, `make fuzz`. Each installs what it needs on a fresh Debian 12
# machine first.
BUILD     ?= build
JOBS      ?= 2
CMAKE_ARGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build demo run test package clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD)/tools/kd7demo; \
	else echo "没有图形显示: 无显示演示 (headless demo)"; \
	  $(BUILD)/tools/kd7demo --headless --picture $(BUILD)/demo/kd7demo.png; fi

run: build
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: 没有图形显示 (no display: DISPLAY is not set); 请在桌面上运行, 或用 make demo 看无显示的演示."; \
	  exit 1; fi
	$(BUILD)/kd7load

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)
