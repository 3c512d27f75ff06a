# The two commands: `make demo` scans the sample plug-ins and shows what it
# found; `make test` builds and runs every test.
.PHONY: demo test build clean

demo:
	@scripts/demo.sh

test:
	@scripts/test.sh

build:
	@scripts/setup.sh && scripts/build.sh

clean:
	rm -rf build
