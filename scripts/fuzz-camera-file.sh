#!/usr/bin/env bash
# Fuzzes the simulated-camera file reader: scripts/fuzz-camera-file.sh [seconds] (see fuzz.sh).
exec bash "$(dirname "$0")/fuzz.sh" camera-file "$@"
