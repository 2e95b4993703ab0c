// SPDX-License-Identifier: MIT
// Drives odrad through the npm package "pjlink", an independent PJLink client: one JSON array
// of steps on the command line, one JSON line of result per step on standard output.
//   node pjlink_client.js PORT PASSWORD '[["getPowerState"], ["waitPower", 1, 15000], ...]'
// PASSWORD "-" for none. A step is a method of the client and its arguments; "waitPower" asks
// the power state until it is the given one or the time is up.
const PJLink = require('pjlink');

const [port, password, stepsText] = process.argv.slice(2);
const client = new PJLink('127.0.0.1', Number(port), password === '-' ? undefined : password);
const steps = JSON.parse(stepsText);

function print(step, err, value) {
    console.log(JSON.stringify({step: step[0], err: err ? err.message : null, value: value}));
}

function call(method, args) {
    return new Promise((resolve) => {
        client[method](...args, (err, ...values) => resolve({err, value: values.length > 1 ? values : values[0]}));
    });
}

async function run() {
    for (const step of steps) {
        const [method, ...args] = step;
        if (method === 'waitPower') {
            const until = Date.now() + args[1];
            let result;
            do {
                result = await call('getPowerState', []);
                if (!result.err && result.value === args[0])
                    break;
                await new Promise((r) => setTimeout(r, 200));
            } while (Date.now() < until);
            print(step, result.err, result.value);
        } else {
            const result = await call(method, args);
            print(step, result.err, result.value);
        }
    }
    client.disconnect();
    process.exit(0);
}
run();
