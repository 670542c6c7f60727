#!/bin/sh
# Stands in for velkord in the init script tests: runs until SIGTERM, then ends with status 0.
trap 'exit 0' TERM
while :; do sleep 0.05; done
