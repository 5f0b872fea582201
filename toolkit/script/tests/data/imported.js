probe.tick();
