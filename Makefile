# The two commands: `make run` and `make test`. Both install what they need.
BUILD     ?= build
BUILD_WIN ?= build-win
JOBS      ?= $(shell nproc)
SAMPLE    ?= $(BUILD)/sample

.PHONY: all deps native windows gui test test-native test-windows run bench bench-index fuzz clean

all: native

deps:
	@bash tools/install-deps.sh

native: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

windows: deps
	@cmake -S . -B $(BUILD_WIN) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD_WIN) -j $(JOBS)

# Only the Windows program (what `make run` needs).
gui: deps
	@cmake -S . -B $(BUILD_WIN) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD_WIN) -j $(JOBS) --target QuillonEdit

test-native: native
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-windows: windows
	@echo "Starting Wine (the first start makes a private prefix, about half a minute)"
	@bash tools/wine-run.sh $(BUILD_WIN)/quillon.exe --version
	@cd $(BUILD_WIN) && ctest --output-on-failure -j $(JOBS)

test: test-native test-windows

run: native gui
	@rm -rf $(SAMPLE) && $(BUILD)/quillon-sample $(SAMPLE)
	@echo '$$ quillon packs $(SAMPLE)/bloodlines/pack000.vpk'
	@$(BUILD)/quillon packs $(SAMPLE)/bloodlines/pack000.vpk
	@echo '$$ quillon cat $(SAMPLE)/bloodlines/pack001.vpk Shared/Common.txt   # both packs hold it; the first listed wins'
	@$(BUILD)/quillon cat $(SAMPLE)/bloodlines/pack001.vpk Shared/Common.txt
	@echo '$$ quillon cat $(SAMPLE)/bloodlines/pack000.vpk cfg/autoexec.cfg    # a loose file wins over the packed one'
	@$(BUILD)/quillon cat $(SAMPLE)/bloodlines/pack000.vpk cfg/autoexec.cfg
	@echo '$$ quillon packs $(SAMPLE)/redemption/data.nob'
	@$(BUILD)/quillon packs $(SAMPLE)/redemption/data.nob
	@echo '$$ quillon cat $(SAMPLE)/redemption/data.nob "dialog/town/ELDER.NPC" | head -3'
	@$(BUILD)/quillon cat $(SAMPLE)/redemption/data.nob dialog/town/ELDER.NPC | head -3
	@echo '$$ quillon list $(SAMPLE)/bloodlines/pack002.vpk --long | head -6'
	@$(BUILD)/quillon list $(SAMPLE)/bloodlines/pack002.vpk --long | head -6
	@echo '$$ quillon show $(SAMPLE)/bloodlines/pack002.vpk materials/samples/glass.vmt -o $(SAMPLE)/glass.tga'
	@$(BUILD)/quillon show $(SAMPLE)/bloodlines/pack002.vpk materials/samples/glass.vmt -o $(SAMPLE)/glass.tga
	@echo '$$ quillon extract $(SAMPLE)/bloodlines/pack002.vpk --tga -o $(SAMPLE)/pictures'
	@$(BUILD)/quillon extract $(SAMPLE)/bloodlines/pack002.vpk --tga -o $(SAMPLE)/pictures
	@echo '$$ quillon show $(SAMPLE)/redemption/data.nob 3d/models/knight.nod | tail -6'
	@$(BUILD)/quillon show $(SAMPLE)/redemption/data.nob 3d/models/knight.nod | tail -6
	@echo '$$ quillon extract $(SAMPLE)/bloodlines/pack002.vpk models --x -o $(SAMPLE)/meshes'
	@$(BUILD)/quillon extract $(SAMPLE)/bloodlines/pack002.vpk models --x -o $(SAMPLE)/meshes
	@echo '$$ quillon modify $(SAMPLE)/bloodlines/pack002.vpk models/samples/lamp.mdl $(SAMPLE)/meshes/models/samples/Lamp.x'
	@$(BUILD)/quillon modify $(SAMPLE)/bloodlines/pack002.vpk models/samples/lamp.mdl $(SAMPLE)/meshes/models/samples/Lamp.x
	@echo '$$ QuillonEdit.exe $(SAMPLE)/bloodlines/pack000.vpk   # the Windows program; without a display: a screenshot'
	@QUILLON_SCREENSHOT=$(abspath $(BUILD_WIN))/QuillonEdit.png bash tools/gui-run.sh \
	    $(BUILD_WIN)/app/QuillonEdit.exe $(abspath $(SAMPLE))/bloodlines/pack000.vpk

bench: native
	@$(BUILD)/bench/bench_read
	@$(BUILD)/bench/bench_extract
	@$(BUILD)/bench/bench_dxt
	@$(BUILD)/bench/bench_formats

# The file index at scale: 10k to 1M files, three packs of 1.2M, 1,000 packs.
# Several minutes; writes about 1.1 GB below TMPDIR.
bench-index: native
	@bash bench/index_scale.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_WIN)
